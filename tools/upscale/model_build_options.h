#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {

// The options of --models-build with their defaults.
struct ModelBuildOptions {
    std::filesystem::path morv_dir;
    std::filesystem::path cache_dir;
    std::filesystem::path work_dir;
    std::string model;
    std::string alpha;  // "esr": the network upscales the alpha channel; else bilinear
    std::string pc;     // likewise for the player-colour mask
    std::string alpha_model;
    std::string pc_model;
    std::string pad_mode;  // "mirror" or "clamp"
    int margin = 16;
    int passes = 3;
    double strength = 0.5;
    int dering = -1;  // off below 0
    double tile_detect = 1.25;
    std::uint32_t min_size = 64;
    std::uint32_t max_size = 1024;
    std::uint32_t scale = 4;  // at most the network's own factor
    bool force = false;
    bool keep_work = false;
    bool verbose = false;
    std::optional<std::string> tile;
    std::vector<std::string> only;

    bool mirror() const { return pad_mode == "mirror"; }
    // The models the network runs with: the colour model, then the alpha and mask
    // models where those are upscaled by the network.
    std::vector<std::string> network_models() const;
};

// Reads the options; prints the problem on standard error and gives nothing for
// a bad
// --pad. A --scale above the network's 4 is capped, with a warning.
std::optional<ModelBuildOptions> read_model_build_options(const Args& args);

// Everything besides the source and the model that shapes a stored result, e.g.
// "pmirror16-bp3x50-arealesrgan-x4plus-pcrealesr-animevideov3-x4-bleed-tile125".
std::string model_settings_string(const ModelBuildOptions& o, const std::string& upscaler_suffix);

}  // namespace tarkeep::upscale
