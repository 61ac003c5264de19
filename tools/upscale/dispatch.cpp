#include "tools/upscale/dispatch.h"

#include <cstdint>
#include <cstdio>
#include <exception>

#include "tools/upscale/commands.h"
#include "tools/upscale/help_text.h"
#include "tools/upscale/option_table.h"

namespace tarkeep::upscale {
namespace {

constexpr std::size_t kAny = SIZE_MAX;

// A command, the option that selects it, how many positionals it takes and its usage line.
struct CommandRule {
    Command command;
    std::string_view selector;
    std::size_t fewest;
    std::size_t most;
    const char* usage;
};

// In the order of precedence: when several selectors are given, the first row wins.
constexpr CommandRule kCommandRules[] = {
    {Command::seam, "--seam", 1, kAny, "usage: --seam <png or folder>... [--quiet]\n"},
    {Command::montage, "--montage", 5, kAny, "usage: --montage <out.png> <x> <y> <size> <png>...\n"},
    {Command::tile2, "--tile2", 3, 3, "usage: --tile2 <out.png> <png> <size>\n"},
    {Command::models_list, "--models-list", 1, 1, "usage: <Morv dir> --models-list [--units] [--verbose]\n"},
    {Command::models_fit, "--models-fit", 1, 1, "usage: <Morv dir> --models-fit [--only stem]... [--verbose]\n"},
    {Command::model_orig, "--model-orig", 1, 1, "usage: <Morv dir> --model-orig <dir> --only stem... [--bilinear k]\n"},
    {Command::models_glb, "--models-glb", 4, 4,
     "usage: <Morv dir> <cache dir> <model variant> <out.glb> --models-glb [--colour X] [--max-size N]\n"},
    {Command::models_estimate, "--models-estimate", 2, 2,
     "usage: <Morv dir> <cache dir> --models-estimate [--colour X] [--max-size N]\n"},
    {Command::model_get, "--model-get", 4, 4, "usage: <Morv dir> <cache dir> <colour|0> <out.png> --model-get <tex>\n"},
    {Command::models_build, "--models-build", 2, 2,
     "usage: <Morv dir> <cache dir> --models-build --exe <realesrgan-ncnn-vulkan.exe> ...\n"},
    {Command::ui_montage, "--ui-montage", 7, kAny, "usage: --ui-montage <out.png> <x> <y> <w> <h> <zoom> <png>...\n"},
    {Command::ui_orig, "--ui-orig", 1, 1, "usage: <Morv dir> --ui-orig <dir> --only stem...\n"},
    {Command::ui_build, "--ui-build", 2, 2,
     "usage: <Morv dir> <cache dir> --ui-build --exe <realesrgan-ncnn-vulkan.exe> ...\n"},
    {Command::ui_list, "--ui-list", 1, 1, "usage: <Morv dir> --ui-list [--all-tables] [--verbose]\n"},
    {Command::hd_pack, "--hd-pack", 3, 3, "usage: <Morv dir> <cache dir> <out.zip> --hd-pack\n"},
    {Command::list, "--list", 1, 1, "usage: <Morv dir> --list\n"},
    {Command::orig, "--orig", 1, 1, "usage: <Morv dir> --orig <dir> [--only stem]... [--deblock]\n"},
};

bool is_given(const Args& a, std::string_view option) { return a.flag(option) || a.has_value(option); }

const CommandRule* rule_of(Command command) {
    for (const CommandRule& rule : kCommandRules) {
        if (rule.command == command) return &rule;
    }
    return nullptr;
}

int print_usage(const char* usage) {
    std::fputs(usage, stderr);
    std::fputs("run with --help for every command and option\n", stderr);
    return 2;
}

// `--help` anywhere, or `-h`, which the parser keeps as a positional.
bool wants_help(const Args& a) {
    if (a.flag("--help")) return true;
    for (const std::string& word : a.positional) {
        if (word == "-h") return true;
    }
    return false;
}

}  // namespace

const char* const kUsageText =
    "usage: tarkeep_upscale <Morv dir> <cache dir> --exe <realesrgan-ncnn-vulkan.exe> [--model m] [--margin 32]\n"
    "       [--deblock] [--tta] [--force] [--only stem]... [--work dir] [--keep-work] [--gpu id] [--tile px]\n"
    "       tarkeep_upscale <Morv dir> --list | --orig <dir>\n"
    "       tarkeep_upscale <Morv dir> <cache dir> --models-build | --ui-build --exe <realesrgan-ncnn-vulkan.exe> ...\n"
    "       tarkeep_upscale <Morv dir> --ui-list | --ui-orig <dir> --only stem...\n"
    "       tarkeep_upscale --seam <png>... | --montage <out> <x> <y> <size> <png>... | --tile2 <out> <png> <size>\n";

Command select_command(const Args& a) {
    for (const CommandRule& rule : kCommandRules) {
        if (is_given(a, rule.selector)) return rule.command;
    }
    return a.positional.size() == 2 ? Command::terrain : Command::usage;
}

int run_command(Command command, const Args& a) {
    const CommandRule* rule = rule_of(command);
    if (command == Command::usage) return print_usage(kUsageText);
    if (rule && (a.positional.size() < rule->fewest || a.positional.size() > rule->most))
        return print_usage(rule->usage);
    auto morv_dir = [&] { return a.path(0); };
    switch (command) {
        case Command::seam: return cmd_seam(a, a.flag("--quiet"));
        case Command::montage: return cmd_montage(a);
        case Command::tile2: return cmd_tile2(a);
        case Command::models_list:
            return a.flag("--units") ? cmd_models_units(morv_dir()) : cmd_models_list(morv_dir(), a.flag("--verbose"));
        case Command::models_fit: return cmd_models_fit(a);
        case Command::model_orig: return cmd_model_orig(a);
        case Command::models_glb: return cmd_models_glb(a);
        case Command::models_estimate: return cmd_models_estimate(a);
        case Command::hd_pack: return cmd_hd_pack(a);
        case Command::model_get: return cmd_model_get(a);
        case Command::models_build: return cmd_models_build(a);
        case Command::ui_montage: return cmd_ui_montage(a);
        case Command::ui_orig: return cmd_ui_orig(a);
        case Command::ui_build: return cmd_ui_build(a);
        case Command::ui_list: return cmd_ui_list(a);
        case Command::list: return cmd_list(morv_dir());
        case Command::orig: return cmd_orig(a);
        case Command::terrain: return cmd_terrain(a);
        case Command::usage: break;
    }
    return print_usage(kUsageText);
}

int run_tool(const std::vector<std::string>& arguments) {
    try {
        const Args args = parse_args(static_cast<int>(arguments.size()), arguments);
        if (wants_help(args)) {
            std::fputs(kHelpText, stdout);
            return 0;
        }
        if (const std::optional<std::string> mistake = option_mistake(args)) {
            std::fputs(mistake->c_str(), stderr);
            return 2;
        }
        return run_command(select_command(args), args);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
}

}  // namespace tarkeep::upscale
