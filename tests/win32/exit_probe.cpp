// Starts as many threads as its argument says and leaves at once, while they
// are still starting: the moment at which Wine ends a program with SIGSEGV
// unless the exit guard it links holds it (check_exit.cmake).
#include <windows.h>

#include <cstdlib>

namespace {
DWORD WINAPI Idle(void*) {
    Sleep(INFINITE);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    int nThreads = argc > 1 ? std::atoi(argv[1]) : 1;
    for (int i = 0; i < nThreads; ++i) {
        HANDLE hThread = CreateThread(NULL, 0, Idle, NULL, 0, NULL);
        if (hThread == NULL) return 2;
        CloseHandle(hThread);
    }
    return 0;
}
