// The asset tool's parsed command line, shared read-only by every command.
#pragma once
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::upscale {

// The parsed command line, shared read-only by every command.
struct Args {
    std::vector<std::string> positional;
    // Option name (with "--") -> every value given for it, in command-line order.
    std::map<std::string, std::vector<std::string>> values;
    std::set<std::string> flags;

    bool flag(std::string_view name) const;
    // True when the value option was given at least once.
    bool has_value(std::string_view name) const;
    // Every value of a list option (empty when absent).
    const std::vector<std::string>& list(std::string_view name) const;
    // Positional argument i as a path: arguments are UTF-8, which the path type needs told
    // on Windows. Throws std::out_of_range past the last positional.
    std::filesystem::path path(std::size_t i) const;
    // The last value of an option as a path (empty when absent).
    std::filesystem::path path_value(std::string_view name) const;
};

// True for the options that take the next argument as their value.
bool is_value_option(std::string_view name);

// Sorts arguments 1..count-1 into positionals, values and flags. A value option given
// as the very last argument has nothing to take and becomes a flag.
Args parse_args(int count, const std::vector<std::string>& arguments);

// The last value of a single-valued option, or `fallback` when it is absent.
std::string opt(const Args& args, std::string_view name, const std::string& fallback);

// A two-way option: its value (`first` when absent), or nothing after printing
// "<name> must be <first> or <second>" on standard error when it is neither.
std::optional<std::string> choice_opt(const Args& args, std::string_view name, const std::string& first,
                                      const std::string& second);

}  // namespace tarkeep::upscale
