#include "tools/upscale/dispatch.h"

#include <cstdio>
#include <exception>

#include "tools/upscale/commands.h"

namespace tarkeep::upscale {

const char* const kUsageText =
    "usage: tarkeep_upscale <Morv dir> <cache dir> --exe <realesrgan-ncnn-vulkan.exe> [--model m] [--margin 32]\n"
    "       [--deblock] [--tta] [--force] [--only stem]... [--work dir] [--keep-work] [--gpu id] [--tile px]\n"
    "       tarkeep_upscale <Morv dir> --list | --orig <dir>\n"
    "       tarkeep_upscale <Morv dir> <cache dir> --models-build | --ui-build --exe <realesrgan-ncnn-vulkan.exe> ...\n"
    "       tarkeep_upscale <Morv dir> --ui-list | --ui-orig <dir> --only stem...\n"
    "       tarkeep_upscale --seam <png>... | --montage <out> <x> <y> <size> <png>... | --tile2 <out> <png> <size>\n";

Command select_command(const Args& a) {
    const size_t n = a.positional.size();
    // The order matters: several rules can match one command line.
    if (a.flag("--seam")) return Command::seam;
    if (a.flag("--montage")) return Command::montage;
    if (a.flag("--tile2") && n == 3) return Command::tile2;
    if (n == 1 && a.flag("--models-list")) return Command::models_list;
    if (n == 1 && a.flag("--models-fit")) return Command::models_fit;
    if (n == 1 && a.has_value("--model-orig")) return Command::model_orig;
    if (a.flag("--models-glb")) return Command::models_glb;
    if (n == 2 && a.flag("--models-estimate")) return Command::models_estimate;
    if (a.has_value("--model-get")) return Command::model_get;
    if (n == 2 && a.flag("--models-build")) return Command::models_build;
    if (a.flag("--ui-montage")) return Command::ui_montage;
    if (n == 1 && a.has_value("--ui-orig")) return Command::ui_orig;
    if (n == 2 && a.flag("--ui-build")) return Command::ui_build;
    if (n == 1 && a.flag("--ui-list")) return Command::ui_list;
    if (n == 1 && a.flag("--list")) return Command::list;
    if (n == 1 && a.has_value("--orig")) return Command::orig;
    if (n != 2) return Command::usage;
    return Command::terrain;
}

int run_command(Command command, const Args& a) {
    auto morv_dir = [&] { return a.path(0); };
    switch (command) {
        case Command::seam: return cmd_seam(a, a.flag("--quiet"));
        case Command::montage: return cmd_montage(a);
        case Command::tile2: return cmd_tile2(a);
        case Command::models_list: return cmd_models_list(morv_dir(), a.flag("--verbose"));
        case Command::models_fit: return cmd_models_fit(a);
        case Command::model_orig: return cmd_model_orig(a);
        case Command::models_glb: return cmd_models_glb(a);
        case Command::models_estimate: return cmd_models_estimate(a);
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
    std::fputs(kUsageText, stderr);
    return 2;
}

int run_tool(const std::vector<std::string>& arguments) {
    try {
        Args args = parse_args(static_cast<int>(arguments.size()), arguments);
        return run_command(select_command(args), args);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
}

}  // namespace tarkeep::upscale
