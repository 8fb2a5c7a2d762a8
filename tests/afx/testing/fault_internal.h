#pragma once
#include "afx_fault.h"

// Counts a call of `point`; TRUE when this call is the one armed to fail.
BOOL AfxFaultFires(AfxFaultPoint point, DWORD* pdwOsError, UINT* pcbPartial);
