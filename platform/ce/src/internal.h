#pragma once
// Shared inside coredll only.
#include "ce_sim.h"

namespace cesim {
namespace detail {

// Whether an injected fault takes this call; `error` receives its code.
bool TakeFault(Call call, const WString& key, const WString& value, LONG& error);
// Whether any fault is armed, so that callers can skip preparing TakeFault's
// arguments in the common case.
bool FaultsArmed();

// Win32 compares registry names by their upper-case forms.
WCHAR UpcaseUnit(WCHAR c);
bool EqualNoCase(const WString& a, const WString& b);

// One port instruction of 1, 2 or 4 bytes on the I/O space, traced.
DWORD PortIn(USHORT port, int width);
void PortOut(USHORT port, int width, DWORD value);

// The range if it lies wholly inside a live LocalAlloc block, else null.
void* MapLocalBlock(uintptr_t address, DWORD bytes);

// Length of a zero-terminated UTF-16 text.
size_t TextLength(const WCHAR* text);

}  // namespace detail
}  // namespace cesim
