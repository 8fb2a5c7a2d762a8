#pragma once
// Numbers written as text, one reading for every program of the system: the
// digits of the registry script's hexadecimal forms, and the numbers the
// tools take on their command lines and in their request files.
#include <cstdint>
#include <string>

// The value of a hexadecimal digit of either letter case, or -1. For 8-bit
// and UTF-16 characters alike.
template <class Char>
constexpr int HexDigit(Char c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a') + 10;
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A') + 10;
    return -1;
}

// A whole word as an unsigned number in C's notation (decimal, 0x hexadecimal,
// a leading 0 octal) of at most max. The word begins with a digit, so that
// blanks and signs, which the C runtime would let pass, are refused.
bool ParseUnsigned(const std::string& word, unsigned long long max, uint32_t& value);
