#pragma once
// Input quoted back in messages and in the run's output, cut to a length a
// person can read: a ten-megabyte number is shown by its start and its size.
#include <string>

inline std::string Echo(const std::string& text, size_t most = 48) {
    if (text.size() <= most) return text;
    return text.substr(0, most) + "... (" + std::to_string(text.size()) + " characters)";
}
