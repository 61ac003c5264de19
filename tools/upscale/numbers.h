// Portable number conversions of option values, with the C runtime's rules and messages.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarkeep::upscale {

struct Args;

// Number conversions of option values. They follow strtol/strtoul/strtod (leading
// blanks skipped, trailing text ignored) and throw std::invalid_argument or
// std::out_of_range with the same texts on every platform ("invalid stoi argument",
// "stoi argument out of range", and the stoul/stod ones). Unsigned values are 32-bit,
// as on the tool's main platform.
int to_int(const std::string& text);
std::uint32_t to_unsigned(const std::string& text);
double to_double(const std::string& text);

// Checked readers for options whose value shapes stored results: a value that is not a
// number, lies outside [minimum, maximum] (reals: or is not finite; sizes: is negative
// or above 32 bits) gives nothing after "error: bad value for <name>: <value>" on
// standard error, and the command should return 2 before it does any work.
std::optional<double> real_option(const Args& args, std::string_view name, const std::string& fallback, double minimum,
                                  double maximum);
std::optional<std::uint32_t> size_option(const Args& args, std::string_view name, const std::string& fallback);

// Option values as numbers: the last value given, else `fallback`. The whole command line
// was checked against the option table before any command ran, so a given value fits its
// option's kind and range; one that does not (a caller that skipped the check) throws
// std::invalid_argument "bad value for <name>: <value>".
int int_value(const Args& args, std::string_view name, const std::string& fallback);
std::uint32_t size_value(const Args& args, std::string_view name, const std::string& fallback);
double real_value(const Args& args, std::string_view name, const std::string& fallback);

}  // namespace tarkeep::upscale
