#include "fault_internal.h"

namespace {

struct FaultState {
    unsigned nCalls;
    unsigned nFailAt;  // 0: not armed
    DWORD dwOsError;
    UINT cbPartial;
};

FaultState g_faults[AFX_FAULT_POINT_COUNT];

}  // namespace

BOOL AfxFaultFires(AfxFaultPoint point, DWORD* pdwOsError, UINT* pcbPartial) {
    FaultState& f = g_faults[point];
    ++f.nCalls;
    if (f.nFailAt == 0 || f.nCalls != f.nFailAt) return FALSE;
    f.nFailAt = 0;
    *pdwOsError = f.dwOsError;
    if (pcbPartial) *pcbPartial = f.cbPartial;
    return TRUE;
}

void AfxFailCall(AfxFaultPoint point, unsigned nCall, DWORD dwOsError, UINT cbPartial) {
    FaultState& f = g_faults[point];
    f.nFailAt = nCall ? f.nCalls + nCall : 0;
    f.dwOsError = dwOsError;
    f.cbPartial = cbPartial;
}

void AfxResetFaults() {
    for (FaultState& f : g_faults) f = FaultState{};
}

unsigned AfxCallCount(AfxFaultPoint point) { return g_faults[point].nCalls; }
