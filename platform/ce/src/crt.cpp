// coredll's formatted UTF-16 texts: each text narrowed to 8 bits for the C
// library's vsscanf and vsnprintf. Natively WCHAR is char16_t, for which the C
// library has nothing; on Windows the desktop's msvcrt has, but Wine's swscanf
// fails a width that ends at the end of the text (" %5f" on "4.00"), which
// CE's does not. So both builds format alike. The C locale's texts are ASCII,
// so nothing is lost either way.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "windows.h"

namespace {

// A unit of 8 bits keeps its value; any other becomes 0xFF, which is, like
// every unit above 0x7F, no digit, sign or blank: U+0130 must not read as "0".
std::string Narrow(const WCHAR* text) {
    std::string narrow;
    for (; *text != 0; ++text) narrow.push_back(static_cast<char>(*text <= 0xFF ? *text : 0xFF));
    return narrow;
}

int ScanText(const WCHAR* buffer, const WCHAR* format, va_list args) {
    const std::string text = Narrow(buffer);
    const std::string narrowFormat = Narrow(format);
    return std::vsscanf(text.c_str(), narrowFormat.c_str(), args);
}

int PrintText(WCHAR* buffer, const WCHAR* format, va_list args) {
    const std::string narrowFormat = Narrow(format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, narrowFormat.c_str(), args);
    if (length >= 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), narrowFormat.c_str(), again);
        for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<unsigned char>(text[i]);
    }
    va_end(again);
    return length;
}

}  // namespace

#if defined(_WIN32)
// The desktop's C headers declare swscanf and swprintf of their own; coredll.def
// exports these under the platform's names.
#define CE_SWSCANF StandInSwscanf
#define CE_SWPRINTF StandInSwprintf
extern "C" {
#else
#define CE_SWSCANF swscanf
#define CE_SWPRINTF swprintf
#endif

int CE_SWSCANF(const WCHAR* buffer, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int taken = ScanText(buffer, format, args);
    va_end(args);
    return taken;
}

int CE_SWPRINTF(WCHAR* buffer, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = PrintText(buffer, format, args);
    va_end(args);
    return length;
}

#if defined(_WIN32)
}
#endif
