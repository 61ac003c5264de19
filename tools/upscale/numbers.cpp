#include "tools/upscale/numbers.h"

#include <cstdlib>
#include <stdexcept>

#include "tools/upscale/args.h"
#include "tools/upscale/option_table.h"

namespace tarkeep::upscale {
namespace {

// The value of `name` once its option's rule accepts it.
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
