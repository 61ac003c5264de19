// Option values as numbers, read after the whole command line was checked.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tarkeep::upscale {

struct Args;

// The last value of `name`, else `fallback`, as a number. The command line was checked
// against the option table before any command ran, so a given value fits its option's kind
// and range; one that does not (a caller that skipped the check) throws
// std::invalid_argument "bad value for <name>: <value>".
int int_value(const Args& args, std::string_view name, const std::string& fallback);
std::uint32_t size_value(const Args& args, std::string_view name, const std::string& fallback);
double real_value(const Args& args, std::string_view name, const std::string& fallback);

}  // namespace tarkeep::upscale
