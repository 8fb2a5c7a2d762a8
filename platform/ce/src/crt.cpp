// The C runtime's formatted UTF-16 texts where WCHAR is char16_t: each text
// narrowed to 8 bits for the C library's sscanf and vsnprintf. The C locale's
// texts are ASCII, so nothing is lost either way.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "windows.h"

#if WCHAR_MAX != 0xFFFF
namespace {

// A unit of 8 bits keeps its value; any other becomes 0xFF, which is, like
// every unit above 0x7F, no digit, sign or blank: U+0130 must not read as "0".
std::string Narrow(const WCHAR* text) {
    std::string narrow;
    for (; *text != 0; ++text) narrow.push_back(static_cast<char>(*text <= 0xFF ? *text : 0xFF));
    return narrow;
}

}  // namespace

int swscanf(const WCHAR* buffer, const WCHAR* format, ...) {
    const std::string text = Narrow(buffer);
    const std::string narrowFormat = Narrow(format);
    va_list args;
    va_start(args, format);
    const int taken = std::vsscanf(text.c_str(), narrowFormat.c_str(), args);
    va_end(args);
    return taken;
}

int swprintf(WCHAR* buffer, const WCHAR* format, ...) {
    const std::string narrowFormat = Narrow(format);
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, narrowFormat.c_str(), args);
    va_end(args);
    if (length >= 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), narrowFormat.c_str(), again);
        for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<unsigned char>(text[i]);
    }
    va_end(again);
    return length;
}
#endif
