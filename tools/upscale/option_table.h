// Every option the asset tool knows, with the shape of its value: one table that the parser, the
// checks before any command runs, and the help text's test all read.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarkeep::upscale {

struct Args;

enum class ValueKind {
    none,     // a flag
    text,     // any word: a name, a path, a list entry
    integer,  // a decimal with an optional sign, within [minimum, maximum]
    size,     // an unsigned 32-bit decimal, no sign
    real,     // a finite real within [minimum, maximum]
};

struct OptionRule {
    std::string_view name;  // with its leading "--"
    ValueKind kind = ValueKind::none;
    double minimum = 0;
    double maximum = 0;
};

std::span<const OptionRule> option_rules();

// The rule of `name`, or nothing for an option the tool does not know.
const OptionRule* find_option(std::string_view name);

// The known option nearest to `name` when it is at most two edits away (typing mistakes:
// a letter dropped, added, changed or two swapped) and fewer than the letters typed, else empty.
std::string nearest_option(std::string_view name);

// The first mistake in the options of a parsed command line, as the lines to print on
// standard error, or nothing: an unknown option (with a suggestion), a value option given
// last with no value, or a value that its option's kind refuses.
std::optional<std::string> option_mistake(const Args& args);

// True when `text` is a value that `rule` accepts.
bool value_fits(const OptionRule& rule, const std::string& text);

}  // namespace tarkeep::upscale
