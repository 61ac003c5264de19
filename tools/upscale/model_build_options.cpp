// Options and settings text of the model texture build.
#include "tools/upscale/model_build_options.h"

#include <cstdio>

#include "tools/upscale/build_basics.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/work_folder.h"

namespace tarkeep::upscale {

std::vector<std::string> ModelBuildOptions::network_models() const {
    std::vector<std::string> models = {model};
    if (alpha == "esr") models.push_back(alpha_model);
    if (pc == "esr") models.push_back(pc_model);
    return models;
}

std::optional<ModelBuildOptions> read_model_build_options(const Args& args) {
    ModelBuildOptions o;
    read_build_basics(args, "16", "_work_models", o);
    const std::optional<std::string> pad_mode = choice_opt(args, "--pad", "mirror", "clamp");
    if (!pad_mode) return std::nullopt;
    o.pad_mode = *pad_mode;
    o.model = opt(args, "--model", "realesrgan-x4plus");
    o.alpha = opt(args, "--alpha", "esr");
    o.pc = opt(args, "--pc", "esr");
    o.alpha_model = opt(args, "--alpha-model", o.model);
    o.pc_model = opt(args, "--pc-model", "realesr-animevideov3-x4");
    o.tile_detect = real_value(args, "--tile-detect", "1.25");
    o.min_size = size_value(args, "--min-size", "64");
    o.max_size = size_value(args, "--max-size", "1024");
    o.scale = size_value(args, "--scale", "4");
    if (o.scale > 4) {
        // The network only ever enlarges four times; a larger factor would record
        // sizes that the stored images never have.
        std::fprintf(stderr, "warning: --scale %u is above the network's 4x; using 4\n", o.scale);
        o.scale = 4;
    }
    o.only = only_stems(args.list("--only"));
    // Every name refused must not turn into "build everything".
    if (o.only.empty() && !args.list("--only").empty()) return std::nullopt;
    return o;
}

std::string model_settings_string(const ModelBuildOptions& o, const std::string& upscaler_suffix) {
    std::string text = "p" + o.pad_mode + std::to_string(o.margin);
    text += "-bp" + std::to_string(o.passes) + "x" + std::to_string(round_half_away(o.strength * 100));
    text += "-a" + (o.alpha == "esr" ? o.alpha_model : o.alpha);
    text += "-pc" + (o.pc == "esr" ? o.pc_model : o.pc);
    text += "-bleed";
    if (o.dering >= 0) text += "-dr" + std::to_string(o.dering);
    text += "-tile" + std::to_string(round_half_away(o.tile_detect * 100));
    return text + upscaler_suffix;
}

}  // namespace tarkeep::upscale
