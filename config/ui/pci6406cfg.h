#pragma once
// The configuration library's one export, called by the image-build tool.
#include <afx_types.h>

#if defined(_WIN32)
#define PCI6406CFG_API __declspec(dllexport)
#else
#define PCI6406CFG_API __attribute__((visibility("default")))
#endif

// Opens the template dialog for the registry script
// lpszRoot + "Public\Quorvex\Device_Drivers\" + DEV + "\" + DEV + ".reg", DEV
// being the first seven characters of lpszDevice, over the host's window,
// and returns at once; the host's message loop drives the dialog. The fourth
// argument is not used. Always 1.
//
// WINAPI (stdcall on 32-bit Windows), exported as plain "DriverConfig": the
// convention of the Windows API and of the class library's exported
// functions, which a host that finds the export with GetProcAddress declares
// its pointer with.
extern "C" PCI6406CFG_API int WINAPI DriverConfig(HWND hHostWnd, LPCSTR lpszRoot, LPCSTR lpszDevice,
                                                  LPCSTR lpszUnused);
