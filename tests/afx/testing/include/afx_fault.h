#pragma once
// Test control of the class-library stand-in: make one call of a chosen
// operating-system primitive fail with a chosen error, count calls, and count
// the page-allocator blocks still held. The linker puts these in front of the
// primitives of test programs only; one thread only.
#include <cstddef>
#include "afx_types.h"

enum AfxFaultPoint {
    AFX_FAULT_OPEN,        // CFile::Open and CFile::CreateNewLike
    AFX_FAULT_LENGTH,      // CFile::GetLength
    AFX_FAULT_SEEK,        // CFile::Seek, SeekToBegin, SeekToEnd, GetPosition, and SetLength's seek
    AFX_FAULT_READ,        // CFile::Read
    AFX_FAULT_WRITE,       // CFile::Write
    AFX_FAULT_SET_LENGTH,  // CFile::SetLength, once it has seeked to the new end
    AFX_FAULT_PAGE_ALLOC,  // VirtualAlloc
    AFX_FAULT_FLUSH,       // CFile::Flush
    AFX_FAULT_REMOVE,      // CFile::Remove
    AFX_FAULT_RENAME,      // CFile::Rename
    AFX_FAULT_POINT_COUNT
};

// The nCall-th call of `point` from now (1 = the next one) fails with
// dwOsError, once. A failing write first writes cbPartial of its bytes, as a
// disk that fills up in the middle of a write does.
void AfxFailCall(AfxFaultPoint point, unsigned nCall, DWORD dwOsError, UINT cbPartial = 0);

// Disarms every fault and zeroes the call counts.
void AfxResetFaults();

// Calls of `point` since the last reset, failed ones included.
unsigned AfxCallCount(AfxFaultPoint point);

// Blocks taken with VirtualAlloc and not yet given back.
size_t AfxLivePageBlocks();
