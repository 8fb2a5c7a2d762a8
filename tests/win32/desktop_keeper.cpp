// Keeps Wine's desktop process for the whole test tier. It goes a second
// after the last top-level window of the session does, and a test program
// that starts it anew leaves it holding the test runner's output pipe for
// that second. This program's hidden window keeps it; the tier ends both
// with the wineserver.
#include <windows.h>

int main() {
    CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, GetModuleHandleA(NULL), NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
