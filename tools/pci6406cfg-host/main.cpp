// pci6406cfg-host: a stand-in for the image-build tool on Windows.
//   pci6406cfg-host ROOT [DEVICE] [--library FILE]
// Opens a main window, loads PCI6406Cfg.dll from its own folder (or FILE),
// calls DriverConfig with that window, the image root ROOT (its trailing
// separator included) and DEVICE (default PCI6406), and runs the message loop
// until the main window is closed.
#include <cstdio>
#include <cstring>
#include <string>

#include "host.h"

namespace {

std::string ProgramFolder() {
    char szPath[MAX_PATH] = "";
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    std::string path = szPath;
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int Usage() {
    std::fprintf(stderr, "usage: pci6406cfg-host ROOT [DEVICE] [--library FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, device = "PCI6406", library = ProgramFolder() + "PCI6406Cfg.dll";
    int nPositional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--library") == 0) {
            if (++i == argc) return Usage();
            library = argv[i];
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return Usage();
        } else if (nPositional++ == 0) {
            root = argv[i];
        } else if (nPositional == 2) {
            device = argv[i];
        } else {
            return Usage();
        }
    }
    if (nPositional == 0) return Usage();

    Host host;
    std::string error;
    if (!host.Load(library, &error)) {
        std::fprintf(stderr, "pci6406cfg-host: %s\n", error.c_str());
        return 1;
    }
    host.CreateMainWindow(CW_USEDEFAULT, CW_USEDEFAULT, 640, 480);
    host.Configure(root, device);
    return host.Run();
}
