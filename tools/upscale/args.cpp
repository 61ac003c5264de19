// Sorting the asset tool's arguments into positionals, option values and flags.
#include "tools/upscale/args.h"

#include <algorithm>
#include <cstdio>

#include "platform/cmdline.h"
#include "tools/upscale/option_table.h"

namespace tarkeep::upscale {
namespace {

const std::vector<std::string>& empty_list() {
    static const std::vector<std::string> empty;
    return empty;
}

}  // namespace

bool is_value_option(std::string_view name) {
    const OptionRule* rule = find_option(name);
    return rule && rule->kind != ValueKind::none;
}

bool Args::flag(std::string_view name) const { return flags.find(std::string(name)) != flags.end(); }

bool Args::has_value(std::string_view name) const { return !list(name).empty(); }

const std::vector<std::string>& Args::list(std::string_view name) const {
    auto it = values.find(std::string(name));
    return it == values.end() ? empty_list() : it->second;
}

std::filesystem::path Args::path(std::size_t i) const { return platform::path_from_utf8(positional.at(i)); }

std::filesystem::path Args::path_value(std::string_view name) const {
    const auto& given = list(name);
    return given.empty() ? std::filesystem::path() : platform::path_from_utf8(given.back());
}

Args parse_args(int count, const std::vector<std::string>& arguments) {
    Args args;
    const int available = std::min<int>(count, static_cast<int>(arguments.size()));
    for (int i = 1; i < available; ++i) {
        const std::string& argument = arguments[static_cast<size_t>(i)];
        if (is_value_option(argument) && i + 1 < available) {
            args.values[argument].push_back(arguments[static_cast<size_t>(++i)]);
        } else if (argument.size() >= 2 && argument.compare(0, 2, "--") == 0) {
            args.flags.insert(argument);
        } else {
            args.positional.push_back(argument);
        }
    }
    return args;
}

std::string opt(const Args& args, std::string_view name, const std::string& fallback) {
    const auto& values = args.list(name);
    return values.empty() ? fallback : values.back();
}

std::optional<std::string> choice_opt(const Args& args, std::string_view name, const std::string& first,
                                      const std::string& second) {
    std::string value = opt(args, name, first);
    if (value == first || value == second) return value;
    std::fprintf(stderr, "%s must be %s or %s\n", std::string(name).c_str(), first.c_str(), second.c_str());
    return std::nullopt;
}

}  // namespace tarkeep::upscale
