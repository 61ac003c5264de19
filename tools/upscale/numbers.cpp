// Converting option values to numbers with the same rules and messages on every platform.
#include "tools/upscale/numbers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace tarkeep::upscale {

int to_int(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(start, &end, 10);
    if (end == start) throw std::invalid_argument("invalid stoi argument");
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) throw std::out_of_range("stoi argument out of range");
    return static_cast<int>(value);
}

std::uint32_t to_unsigned(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(start, &end, 10);
    if (end == start) throw std::invalid_argument("invalid stoul argument");
    // strtoul negates a leading minus in the unsigned type; do the same in 32 bits, and
    // range-check the magnitude that was written.
    bool negative = false;
    for (const char* p = start; p < end; ++p) {
        if (*p == '-') {
            negative = true;
            break;
        }
        if (*p >= '0' && *p <= '9') break;
    }
    unsigned long long magnitude = negative ? 0ULL - value : value;
    if (errno == ERANGE || magnitude > UINT32_MAX) throw std::out_of_range("stoul argument out of range");
    return static_cast<std::uint32_t>(value);
}

double to_double(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(start, &end);
    if (end == start) throw std::invalid_argument("invalid stod argument");
    if (errno == ERANGE) throw std::out_of_range("stod argument out of range");
    return value;
}

}  // namespace tarkeep::upscale
