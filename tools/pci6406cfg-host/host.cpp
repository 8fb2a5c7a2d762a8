#include "host.h"

#include <cstring>
#include <vector>

namespace {

const char kWindowClass[] = "Pci6406CfgHost";

LRESULT CALLBACK MainWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

bool IsDialogWindow(HWND hWnd) {
    char szClass[16] = "";
    return GetClassNameA(hWnd, szClass, sizeof szClass) > 0 && std::strcmp(szClass, "#32770") == 0;
}

void Dispatch(MSG& msg) {
    HWND hWndTop = msg.hwnd != NULL ? GetAncestor(msg.hwnd, GA_ROOT) : NULL;
    if (hWndTop != NULL && IsDialogWindow(hWndTop) && IsDialogMessageA(hWndTop, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

struct Found {
    HMODULE library;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectLibraryWindow(HWND hWnd, LPARAM lParam) {
    Found* found = reinterpret_cast<Found*>(lParam);
    if ((HMODULE)GetWindowLongPtrA(hWnd, GWLP_HINSTANCE) == found->library) found->windows.push_back(hWnd);
    return TRUE;
}

}  // namespace

Host::~Host() {
    CloseLibraryWindows();
    if (mainWindow_ != NULL && IsWindow(mainWindow_)) DestroyWindow(mainWindow_);
    if (library_ != NULL) FreeLibrary(library_);
}

bool Host::Load(const std::string& library, std::string* error) {
    library_ = LoadLibraryA(library.c_str());
    if (library_ == NULL) {
        *error = "cannot load " + library + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    FARPROC pfnExport = GetProcAddress(library_, "DriverConfig");
    driverConfig_ = reinterpret_cast<DriverConfigProc>(reinterpret_cast<void*>(pfnExport));
    if (driverConfig_ == NULL) {
        *error = library + " exports no DriverConfig";
        return false;
    }
    return true;
}

HWND Host::CreateMainWindow(int x, int y, int cx, int cy) {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // a second host in the process finds it there already
    mainWindow_ = CreateWindowExA(0, kWindowClass, "Image build", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, cx, cy, NULL,
                                  NULL, wc.hInstance, NULL);
    return mainWindow_;
}

int Host::Configure(const std::string& root, const std::string& device) {
    return driverConfig_(mainWindow_, root.c_str(), device.c_str(), "");
}

int Host::Run() {
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) Dispatch(msg);
    return 0;
}

void Host::Pump() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage((int)msg.wParam);  // for Run, or whoever waits for it
            return;
        }
        Dispatch(msg);
    }
}

std::vector<HWND> Host::LibraryWindows() const {
    Found found = {library_, {}};
    if (library_ != NULL)
        EnumThreadWindows(GetCurrentThreadId(), CollectLibraryWindow, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

HWND Host::LibraryWindow(const std::string& caption) const {
    for (HWND hWnd : LibraryWindows()) {
        char szCaption[256] = "";
        GetWindowTextA(hWnd, szCaption, sizeof szCaption);
        if (IsWindowVisible(hWnd) && caption == szCaption) return hWnd;
    }
    return NULL;
}

void Host::CloseLibraryWindows() {
    for (HWND hWnd : LibraryWindows()) {
        if (IsWindow(hWnd)) DestroyWindow(hWnd);
    }
}
