#include "tools/upscale/dispatch.h"

#include <cstdio>
#include <exception>

#include "platform/cmdline.h"
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
    if (a.flag("--seam")) return Command::Seam;
    if (a.flag("--montage")) return Command::Montage;
    if (a.flag("--tile2") && n == 3) return Command::Tile2;
    if (n == 1 && a.flag("--models-list")) return Command::ModelsList;
    if (n == 1 && a.flag("--models-fit")) return Command::ModelsFit;
    if (n == 1 && a.has_value("--model-orig")) return Command::ModelOrig;
    if (a.flag("--models-glb")) return Command::ModelsGlb;
    if (n == 2 && a.flag("--models-estimate")) return Command::ModelsEstimate;
    if (a.has_value("--model-get")) return Command::ModelGet;
    if (n == 2 && a.flag("--models-build")) return Command::ModelsBuild;
    if (a.flag("--ui-montage")) return Command::UiMontage;
    if (n == 1 && a.has_value("--ui-orig")) return Command::UiOrig;
    if (n == 2 && a.flag("--ui-build")) return Command::UiBuild;
    if (n == 1 && a.flag("--ui-list")) return Command::UiList;
    if (n == 1 && a.flag("--list")) return Command::List;
    if (n == 1 && a.has_value("--orig")) return Command::Orig;
    if (n != 2) return Command::Usage;
    return Command::Terrain;
}

int run_command(Command command, const Args& a) {
    auto morv_dir = [&] { return platform::path_from_utf8(a.positional.at(0)); };
    switch (command) {
        case Command::Seam: return cmd_seam(a, a.flag("--quiet"));
        case Command::Montage: return cmd_montage(a);
        case Command::Tile2: return cmd_tile2(a);
        case Command::ModelsList: return cmd_models_list(morv_dir(), a.flag("--verbose"));
        case Command::ModelsFit: return cmd_models_fit(a);
        case Command::ModelOrig: return cmd_model_orig(a);
        case Command::ModelsGlb: return cmd_models_glb(a);
        case Command::ModelsEstimate: return cmd_models_estimate(a);
        case Command::ModelGet: return cmd_model_get(a);
        case Command::ModelsBuild: return cmd_models_build(a);
        case Command::UiMontage: return cmd_ui_montage(a);
        case Command::UiOrig: return cmd_ui_orig(a);
        case Command::UiBuild: return cmd_ui_build(a);
        case Command::UiList: return cmd_ui_list(a);
        case Command::List: return cmd_list(morv_dir());
        case Command::Orig: return cmd_orig(a);
        case Command::Terrain: return cmd_terrain(a);
        case Command::Usage: break;
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
