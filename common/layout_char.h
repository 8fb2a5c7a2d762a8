#pragma once
// The driver's registry names and texts are UTF-16. wchar_t is used for them
// only where the compiler makes it 16 bits wide (Windows); elsewhere char16_t,
// so that byte counts such as a 100-byte "DeviceName" stay exact.
#if defined(_WIN32)
typedef wchar_t LayoutWChar;
#define LAYOUT_W_(s) L##s
#else
typedef char16_t LayoutWChar;
#define LAYOUT_W_(s) u##s
#endif
#define LAYOUT_W(s) LAYOUT_W_(s)

// Defines NAME_A (8-bit) and NAME_W (UTF-16) from one literal.
#define LAYOUT_TEXT(NAME, text)                        \
    inline constexpr char NAME##_A[] = text;           \
    inline constexpr LayoutWChar NAME##_W[] = LAYOUT_W(text)
