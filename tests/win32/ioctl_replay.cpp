// Replays the I/O control fuzzer's corpus through the shipped driver library:
// every input of the folders given runs as the fuzzer runs it, each request
// sent to the AOC_IOControl that VQX6406S.dll exports. A finding aborts.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "module.h"
#include "vqx6406s.h"

extern decltype(&AOC_IOControl) g_ioControl;
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    std::string error;
    void* library = sim::OpenModule(VQX6406S_DLL, &error);
    if (!library) {
        std::fprintf(stderr, "ioctl-replay: %s\n", error.c_str());
        return 1;
    }
    g_ioControl = reinterpret_cast<decltype(&AOC_IOControl)>(sim::ModuleSymbol(library, "AOC_IOControl"));
    if (!g_ioControl) {
        std::fprintf(stderr, "ioctl-replay: %s exports no AOC_IOControl\n", VQX6406S_DLL);
        return 1;
    }
    size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            std::ifstream file(entry.path(), std::ios::binary);
            std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(data.data(), data.size());
            ++inputs;
        }
    }
    std::printf("ioctl-replay: %zu inputs through %s, no finding\n", inputs, VQX6406S_DLL);
    sim::CloseModule(library);
    return inputs ? 0 : 1;
}
