#include "number_text.h"

#include <cerrno>
#include <cstdlib>

bool ParseUnsigned(const std::string& word, unsigned long long max, uint32_t& value) {
    if (word.empty() || word[0] < '0' || word[0] > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(word.c_str(), &end, 0);
    if (errno || *end || v > max) return false;
    value = static_cast<uint32_t>(v);
    return true;
}
