// The asset tool's options and the checks a command line passes before any command runs.
#include "tools/upscale/option_table.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {
namespace {

constexpr OptionRule flag(std::string_view name) { return {name, ValueKind::none}; }
constexpr OptionRule text(std::string_view name) { return {name, ValueKind::text}; }
constexpr OptionRule size(std::string_view name) { return {name, ValueKind::size}; }
constexpr OptionRule integer(std::string_view name, double minimum, double maximum) {
    return {name, ValueKind::integer, minimum, maximum};
}
constexpr OptionRule real(std::string_view name, double minimum, double maximum) {
    return {name, ValueKind::real, minimum, maximum};
}

constexpr std::array kRules = {
    // Commands
    flag("--seam"), flag("--montage"), flag("--tile2"), flag("--ui-montage"), flag("--list"), text("--orig"),
    flag("--models-list"), flag("--models-fit"), text("--model-orig"), flag("--models-glb"), flag("--models-estimate"),
    flag("--hd-pack"), text("--model-get"), flag("--models-build"), text("--ui-orig"), flag("--ui-build"),
    flag("--ui-list"), flag("--help"),
    // The upscaler
    text("--exe"), text("--model"), text("--models"), text("--gpu"), text("--tile"), text("--threads"),
    text("--python"), text("--onnx-runner"), text("--onnx-models"), text("--onnx-provider"), size("--onnx-tile"),
    // The pipelines
    integer("--margin", 0, 4096), text("--only"), text("--work"), flag("--keep-work"), flag("--force"),
    flag("--verbose"), integer("--backproject", 0, 100), real("--bp-strength", 0, 1e6), integer("--dering", -1, 255),
    real("--save-every", 0, 24 * 3600), flag("--deblock"), integer("--deblock-threshold", 0, 255), flag("--tta"),
    text("--pad"), text("--alpha"), text("--pc"), size("--min-size"), size("--max-size"), size("--scale"),
    real("--tile-detect", 0, 1e6), text("--alpha-model"), text("--pc-model"), text("--icon-model"),
    text("--panel-model"), text("--pack"), size("--tile-max"), flag("--all-tables"),
    // Listing, extraction and export
    size("--bilinear"), text("--colour"), flag("--anims"), flag("--units"), flag("--quiet"), flag("--captions"),
    text("--table"),  // takes a value that no command reads
};

// Decimal digits between optional blanks, after an optional sign when `signed_ok`.
bool is_decimal(const std::string& text, bool signed_ok) {
    std::size_t at = text.find_first_not_of(" \t");
    if (at == std::string::npos) return false;
    if (signed_ok && (text[at] == '-' || text[at] == '+')) ++at;
    const std::size_t end = text.find_first_not_of("0123456789", at);
    if (end == at) return false;
    return end == std::string::npos || text.find_first_not_of(" \t", end) == std::string::npos;
}

// Edits between two words, a swap of neighbours counting as one.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::span<const OptionRule> option_rules() { return kRules; }

const OptionRule* find_option(std::string_view name) {
    const auto it = std::find_if(kRules.begin(), kRules.end(), [&](const OptionRule& r) { return r.name == name; });
    return it == kRules.end() ? nullptr : &*it;
}

std::string nearest_option(std::string_view name) {
    std::string_view best;
    // Fewer edits than letters typed: "--" or "--x" resembles nothing in particular.
    std::size_t best_distance = std::min<std::size_t>(3, name.size() > 2 ? name.size() - 2 : 0);
    for (const OptionRule& rule : kRules) {
        const std::size_t distance = edit_distance(name, rule.name);
        if (distance < best_distance) {
            best = rule.name;
            best_distance = distance;
        }
    }
    return std::string(best);
}

bool value_fits(const OptionRule& rule, const std::string& text) {
    switch (rule.kind) {
        case ValueKind::none:
        case ValueKind::text: return true;
        case ValueKind::size: {
            if (!is_decimal(text, false)) return false;
            errno = 0;
            const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
            return errno != ERANGE && value <= UINT32_MAX;
        }
        case ValueKind::integer: {
            if (!is_decimal(text, true)) return false;
            errno = 0;
            const long long value = std::strtoll(text.c_str(), nullptr, 10);
            return errno != ERANGE && value >= rule.minimum && value <= rule.maximum;
        }
        case ValueKind::real: {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            return end != text.c_str() && std::isfinite(value) && value >= rule.minimum && value <= rule.maximum;
        }
    }
    return false;
}

std::optional<std::string> option_mistake(const Args& args) {
    for (const std::string& name : args.flags) {
        const OptionRule* rule = find_option(name);
        if (!rule) {
            std::string lines = "error: unknown option " + name + "\n";
            if (std::string near = nearest_option(name); !near.empty()) lines += "did you mean " + near + "?\n";
            return lines;
        }
        if (rule->kind != ValueKind::none) return "error: " + name + " needs a value\n";
    }
    for (const auto& [name, values] : args.values) {
        const OptionRule& rule = *find_option(name);
        for (const std::string& value : values) {
            if (!value_fits(rule, value)) return "error: bad value for " + name + ": " + value + "\n";
        }
    }
    return std::nullopt;
}

}  // namespace tarkeep::upscale
