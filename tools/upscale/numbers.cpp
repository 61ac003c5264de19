// Converting option values to numbers with the same rules and messages on every platform.
#include "tools/upscale/numbers.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "tools/upscale/args.h"
#include "tools/upscale/option_table.h"

namespace tarkeep::upscale {
namespace {

template <typename Number>
std::optional<Number> refused(std::string_view name, const std::string& value) {
    std::fprintf(stderr, "error: bad value for %.*s: %s\n", static_cast<int>(name.size()), name.data(), value.c_str());
    return std::nullopt;
}

// Decimal digits after optional blanks, and nothing but blanks after them: a sign, a
// fraction or trailing text is not a size.
bool is_plain_decimal(const std::string& text) {
    std::size_t at = text.find_first_not_of(" \t");
    const std::size_t digits = text.find_first_not_of("0123456789", at == std::string::npos ? text.size() : at);
    if (at == std::string::npos || digits == at) return false;
    return digits == std::string::npos || text.find_first_not_of(" \t", digits) == std::string::npos;
}

}  // namespace

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

std::optional<double> real_option(const Args& args, std::string_view name, const std::string& fallback, double minimum,
                                  double maximum) {
    const std::string text = opt(args, name, fallback);
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end == start || !std::isfinite(value) || value < minimum || value > maximum) return refused<double>(name, text);
    return value;
}

std::optional<std::uint32_t> size_option(const Args& args, std::string_view name, const std::string& fallback) {
    const std::string text = opt(args, name, fallback);
    if (!is_plain_decimal(text)) return refused<std::uint32_t>(name, text);
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > UINT32_MAX) return refused<std::uint32_t>(name, text);
    return static_cast<std::uint32_t>(value);
}

namespace {

// The value of `name` after the check that its option's rule accepts it.
std::string checked_value(const Args& args, std::string_view name, const std::string& fallback) {
    std::string text = opt(args, name, fallback);
    const OptionRule* rule = find_option(name);
    if (!rule || !value_fits(*rule, text))
        throw std::invalid_argument("bad value for " + std::string(name) + ": " + text);
    return text;
}

}  // namespace

int int_value(const Args& args, std::string_view name, const std::string& fallback) {
    return static_cast<int>(std::strtol(checked_value(args, name, fallback).c_str(), nullptr, 10));
}

std::uint32_t size_value(const Args& args, std::string_view name, const std::string& fallback) {
    return static_cast<std::uint32_t>(std::strtoul(checked_value(args, name, fallback).c_str(), nullptr, 10));
}

double real_value(const Args& args, std::string_view name, const std::string& fallback) {
    return std::strtod(checked_value(args, name, fallback).c_str(), nullptr);
}

}  // namespace tarkeep::upscale
