// The library's entry routine on the target: the loader enters the image
// here. The library keeps nothing per thread.
#include "aoclib.h"

extern "C" BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(static_cast<HMODULE>(hinstDLL));
    return TRUE;
}
