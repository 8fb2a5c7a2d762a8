#pragma once
// The image-build tool as the configuration library meets it: a main window,
// the library loaded, DriverConfig called with that window, an image root and
// a device name, and the message loop that drives the dialog from then on.
#include <windows.h>

#include <string>
#include <vector>

class Host {
public:
    Host() = default;
    // Destroys the windows the library left open, while its code is still
    // there to see them go, then unloads it.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // False, with the reason, when the library or its export cannot be had.
    bool Load(const std::string& library, std::string* error);
    // The main window, its outer rectangle at x, y, cx by cy pixels.
    HWND CreateMainWindow(int x, int y, int cx, int cy);
    HWND MainWindow() const { return mainWindow_; }
    // DriverConfig(main window, root, device, ""), which opens the dialog and
    // returns at once.
    int Configure(const std::string& root, const std::string& device);

    // The message loop, until the main window is closed. Keys go through the
    // dialog manager of their dialog, as hosts hand them on to modeless
    // dialogs.
    int Run();
    // Hands on the messages waiting now.
    void Pump();
    // The shown window of the library with this caption (NULL: none). Other
    // programs' windows share the screen; only this one's are looked at.
    HWND LibraryWindow(const std::string& caption) const;
    void CloseLibraryWindows();

private:
    // This thread's top-level windows that the library made.
    std::vector<HWND> LibraryWindows() const;

    typedef int(WINAPI* DriverConfigProc)(HWND, LPCSTR, LPCSTR, LPCSTR);

    HMODULE library_ = NULL;
    DriverConfigProc driverConfig_ = NULL;
    HWND mainWindow_ = NULL;
};
