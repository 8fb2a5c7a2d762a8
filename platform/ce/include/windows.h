#ifndef CE_STANDIN_WINDOWS_H
#define CE_STANDIN_WINDOWS_H
/* Stand-in for the Windows CE core services target code calls: base types,
 * registry, local heap, critical sections, thread errors, caller-pointer
 * mapping, the stream-device calls and x86 port I/O. Names, signatures and
 * error codes are CE's.
 *
 * Applications on the target are built with the platform's C89 and C++03
 * compilers, and the headers shipped for them include this one: it is C89
 * and C++03 throughout, whatever the language of the file including it. */
#include <stddef.h>
#if (defined(__cplusplus) && __cplusplus >= 201103L) || \
    (!defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
#include <stdint.h> /* not C89's, but the project's own code takes it from here */
#endif

/* Code built for the target defines UNDER_CE, as the platform's own compilers
 * do: it imports these functions from coredll.dll. Elsewhere the stand-in
 * carries them. */
#if defined(__cplusplus)
#define CE_EXTERN_C extern "C"
#else
#define CE_EXTERN_C extern
#endif
#if !defined(_WIN32)
#define CE_API CE_EXTERN_C __attribute__((visibility("default")))
#elif defined(CE_BUILDING_COREDLL)
#define CE_API CE_EXTERN_C /* exported by coredll.def, made from target_imports.txt */
#else
#define CE_API CE_EXTERN_C __declspec(dllimport)
#endif

/* ---- Base types (CE is ILP32; DWORD is 32-bit, WCHAR 16-bit) ------------- */
typedef unsigned int DWORD;
typedef int LONG;
typedef unsigned int ULONG;
typedef unsigned int UINT;
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned char UCHAR;
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef short SHORT;
/* Pointer-sized: 32 bits on the target, 64 on this project's native host. */
typedef __UINTPTR_TYPE__ ULONG_PTR;
typedef __INTPTR_TYPE__ LONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef void VOID;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef BOOL* LPBOOL;
/* UTF-16 units: wchar_t on Windows; natively char16_t where the language has
 * it, else the 16-bit unsigned type that C11 makes char16_t. TEXT() gives a
 * literal of them where the language can write one. */
#if defined(_WIN32)
typedef wchar_t WCHAR;
#define CE_TEXT_(s) L##s
#elif defined(__cplusplus) && __cplusplus >= 201103L
typedef char16_t WCHAR;
#define CE_TEXT_(s) u##s
#else
typedef unsigned short WCHAR;
#if !defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define CE_TEXT_(s) u##s
#endif
#endif
#if defined(CE_TEXT_)
#define TEXT(s) CE_TEXT_(s)
#endif
typedef WCHAR TCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPTSTR;
typedef const WCHAR* LPCTSTR;
typedef void* HANDLE;
typedef HANDLE HINSTANCE;
typedef HANDLE HMODULE;
typedef HANDLE HLOCAL;
typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED* LPOVERLAPPED;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define WINAPI
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

/* ---- Error codes (Win32) ------------------------------------------------ */
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_KEY_DELETED 1018L
#define ERROR_CHILD_MUST_BE_VOLATILE 1021L
#define ERROR_INVALID_HANDLE_STATE 1609L

/* Application-defined error codes carry bit 29. */
#define APPLICATION_ERROR_MASK 0x20000000

/* ---- Registry ------------------------------------------------------------- */
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

/* Sizes are in bytes for data and in characters for names. Names of keys and
 * values compare without regard to letter case. */
CE_API LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
CE_API LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition);
CE_API LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcMaxSubKeyLen, LPDWORD lpcMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcMaxValueNameLen, LPDWORD lpcMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime);
CE_API LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcName, LPDWORD lpReserved,
                          LPWSTR lpClass, LPDWORD lpcClass, PFILETIME lpftLastWriteTime);
CE_API LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
CE_API LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData);
CE_API LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData);
CE_API LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
CE_API LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
CE_API LONG RegCloseKey(HKEY hKey);

/* ---- Local heap ------------------------------------------------------------- */
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
CE_API HLOCAL LocalAlloc(UINT uFlags, UINT uBytes);
CE_API HLOCAL LocalFree(HLOCAL hMem);

/* ---- Critical sections and thread errors ------------------------------------ */
typedef struct CRITICAL_SECTION {
    void* Opaque; /* the stand-in's lock object */
    DWORD DebugTag;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;
CE_API void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
CE_API void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
CE_API void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
CE_API void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

/* Atomic on the shared variable; the result is the new value. */
CE_API LONG InterlockedIncrement(LONG volatile* lpAddend);
CE_API LONG InterlockedDecrement(LONG volatile* lpAddend);

CE_API void SetLastError(DWORD dwErrCode);
CE_API DWORD GetLastError(void);
CE_API BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

/* ---- Caller buffers ----------------------------------------------------------- */
/* Turns an address in the calling process into a pointer the driver may use for
 * dwLen bytes; NULL when the caller cannot access the whole range. */
CE_API LPVOID MapCallerPtr(LPVOID ptr, DWORD dwLen);

/* ---- Stream devices ------------------------------------------------------------ */
/* An application opens a loaded stream device by its name, the prefix, index
 * and colon ("AOC1:"), in any letter case; the device manager calls the
 * driver's XXX_Open, XXX_IOControl and XXX_Close for these three calls. */
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
CE_API HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
CE_API BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped);
CE_API BOOL CloseHandle(HANDLE hObject);

/* ---- C runtime: formatted UTF-16 texts -----------------------------------------
 * coredll carries the C runtime, the platform's swscanf and swprintf (the
 * latter without a count: the buffer must hold the text). Target code imports
 * them from there. Natively WCHAR is char16_t, for which the C library has
 * none: coredll narrows each text to 8 bits and calls sscanf or sprintf.
 * Conversions of numbers only. Natively they are C++ overloads, beside the C
 * library's own. C files of the target take them from <stdio.h>, which the
 * cross compiler's runtime declares otherwise (swprintf with a count). */
#if defined(UNDER_CE) && defined(__cplusplus)
CE_API int swscanf(const WCHAR* buffer, const WCHAR* format, ...);
CE_API int swprintf(WCHAR* buffer, const WCHAR* format, ...);
#elif !defined(_WIN32) && defined(__cplusplus)
#define CE_CRT __attribute__((visibility("default")))
CE_CRT int swscanf(const WCHAR* buffer, const WCHAR* format, ...);
CE_CRT int swprintf(WCHAR* buffer, const WCHAR* format, ...);
#endif

/* ---- x86 port I/O -------------------------------------------------------------
 * The compiler's port intrinsics, on 16-bit port numbers. On x86 Windows, the
 * CE target and the Windows tests alike, each is the processor's own in or
 * out instruction with the port in DX; under Wine coredll serves the trapped
 * instruction from the I/O space. The memory clobber keeps each access where
 * it stands between the lock calls around it. Natively each is one call into
 * the stand-in's I/O space. */
#if defined(_WIN32) && defined(__i386__)
static __inline__ UCHAR __inbyte(USHORT Port) {
    UCHAR value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "d"(Port) : "memory");
    return value;
}
static __inline__ USHORT __inword(USHORT Port) {
    USHORT value;
    __asm__ __volatile__("inw %w1, %w0" : "=a"(value) : "d"(Port) : "memory");
    return value;
}
static __inline__ ULONG __indword(USHORT Port) {
    ULONG value;
    __asm__ __volatile__("inl %w1, %0" : "=a"(value) : "d"(Port) : "memory");
    return value;
}
static __inline__ void __outbyte(USHORT Port, UCHAR Data) {
    __asm__ __volatile__("outb %b0, %w1" : : "a"(Data), "d"(Port) : "memory");
}
static __inline__ void __outword(USHORT Port, USHORT Data) {
    __asm__ __volatile__("outw %w0, %w1" : : "a"(Data), "d"(Port) : "memory");
}
static __inline__ void __outdword(USHORT Port, ULONG Data) {
    __asm__ __volatile__("outl %0, %w1" : : "a"(Data), "d"(Port) : "memory");
}
#else
CE_API UCHAR __inbyte(USHORT Port);
CE_API USHORT __inword(USHORT Port);
CE_API ULONG __indword(USHORT Port);
CE_API void __outbyte(USHORT Port, UCHAR Data);
CE_API void __outword(USHORT Port, USHORT Data);
CE_API void __outdword(USHORT Port, ULONG Data);
#endif

#endif /* CE_STANDIN_WINDOWS_H */
