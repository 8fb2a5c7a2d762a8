// Under Wine (or Windows) a user-mode process may not execute the x86 port
// instructions, so the driver's own in and out raise a privileged-instruction
// exception. A vectored handler, installed when coredll loads, carries each
// out on the I/O space and resumes after it: the shipped driver runs its
// exact bytes here.
#include <cstddef>

#include "internal.h"

namespace {

// The parts of i386's CONTEXT and EXCEPTION_POINTERS the handler reads; the
// stand-in's windows.h is CE's and has no such records.
struct X86Context {
    DWORD ContextFlags;
    DWORD Dr[6];
    BYTE FloatSave[112];
    DWORD SegGs, SegFs, SegEs, SegDs;
    DWORD Edi, Esi, Ebx, Edx, Ecx, Eax;
    DWORD Ebp, Eip, SegCs, EFlags, Esp, SegSs;
};
static_assert(offsetof(X86Context, Edx) == 168 && offsetof(X86Context, Eax) == 176 &&
                  offsetof(X86Context, Eip) == 184,
              "the i386 CONTEXT layout");

struct ExceptionRecord {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    ExceptionRecord* Next;
    void* ExceptionAddress;
};

struct ExceptionPointers {
    ExceptionRecord* Record;
    X86Context* Context;
};

typedef LONG(__stdcall* VectoredHandler)(ExceptionPointers*);

extern "C" __declspec(dllimport) void* __stdcall AddVectoredExceptionHandler(ULONG First, VectoredHandler Handler);

const DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
const LONG EXCEPTION_CONTINUE_EXECUTION = -1;
const LONG EXCEPTION_CONTINUE_SEARCH = 0;

const BYTE OPERAND_SIZE_PREFIX = 0x66;
const BYTE IN_AL_DX = 0xEC;    // in al, dx
const BYTE IN_EAX_DX = 0xED;   // in eax, dx; with the prefix in ax, dx
const BYTE OUT_DX_AL = 0xEE;   // out dx, al
const BYTE OUT_DX_EAX = 0xEF;  // out dx, eax; with the prefix out dx, ax

// Only the forms with the port in DX: the driver uses no other, and any other
// instruction is left to crash where it stands.
LONG __stdcall ServePortInstruction(ExceptionPointers* pointers) {
    if (pointers->Record->ExceptionCode != EXCEPTION_PRIV_INSTRUCTION) return EXCEPTION_CONTINUE_SEARCH;
    X86Context& context = *pointers->Context;
    const BYTE* code = reinterpret_cast<const BYTE*>(context.Eip);
    const bool prefixed = code[0] == OPERAND_SIZE_PREFIX;
    const BYTE opcode = code[prefixed ? 1 : 0];
    const USHORT port = static_cast<USHORT>(context.Edx);
    const int width = opcode == IN_AL_DX || opcode == OUT_DX_AL ? 1 : prefixed ? 2 : 4;
    switch (opcode) {
    case IN_AL_DX:
    case IN_EAX_DX: {
        const DWORD keep = width == 4 ? 0 : width == 2 ? 0xFFFF0000u : 0xFFFFFF00u;
        context.Eax = (context.Eax & keep) | cesim::detail::PortIn(port, width);
        break;
    }
    case OUT_DX_AL:
    case OUT_DX_EAX:
        cesim::detail::PortOut(port, width, context.Eax);
        break;
    default:
        return EXCEPTION_CONTINUE_SEARCH;
    }
    context.Eip += prefixed ? 2 : 1;
    return EXCEPTION_CONTINUE_EXECUTION;
}

const bool g_trapInstalled = AddVectoredExceptionHandler(1, ServePortInstruction) != nullptr;

}  // namespace
