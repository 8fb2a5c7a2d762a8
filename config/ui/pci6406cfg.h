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
extern "C" PCI6406CFG_API int DriverConfig(HWND hHostWnd, LPCSTR lpszRoot, LPCSTR lpszDevice, LPCSTR lpszUnused);
