// Portable number conversions of option values, with the C runtime's rules and messages.
#pragma once
#include <cstdint>
#include <string>

namespace tarkeep::upscale {

// Number conversions of option values. They follow strtol/strtoul/strtod (leading
// blanks skipped, trailing text ignored) and throw std::invalid_argument or
// std::out_of_range with the same texts on every platform ("invalid stoi argument",
// "stoi argument out of range", and the stoul/stod ones). Unsigned values are 32-bit,
// as on the tool's main platform.
int to_int(const std::string& text);
std::uint32_t to_unsigned(const std::string& text);
double to_double(const std::string& text);

}  // namespace tarkeep::upscale
