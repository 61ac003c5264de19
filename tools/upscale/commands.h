#pragma once
#include <filesystem>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {

// Every command of the tool: takes the parsed arguments, returns the exit status
// (0 success, 1 error or failed textures, 2 bad usage or an upscaler that cannot run).
// The dispatcher has checked the options and each command's positional count already.

// PNG analysis
int cmd_seam(const Args& args, bool quiet);
int cmd_montage(const Args& args);
int cmd_tile2(const Args& args);
int cmd_ui_montage(const Args& args);

// Model textures
int cmd_models_list(const std::filesystem::path& morv_dir, bool verbose);
// --models-list --units: the model variants that --models-glb exports, with their units.
int cmd_models_units(const std::filesystem::path& morv_dir);
int cmd_models_fit(const Args& args);
int cmd_model_orig(const Args& args);
int cmd_models_estimate(const Args& args);
int cmd_model_get(const Args& args);
int cmd_models_build(const Args& args);
int cmd_models_glb(const Args& args);
int cmd_hd_pack(const Args& args);

// UI sheets
int cmd_ui_orig(const Args& args);
int cmd_ui_build(const Args& args);
int cmd_ui_list(const Args& args);

// Terrain
int cmd_list(const std::filesystem::path& morv_dir);
int cmd_orig(const Args& args);
int cmd_terrain(const Args& args);

}  // namespace tarkeep::upscale
