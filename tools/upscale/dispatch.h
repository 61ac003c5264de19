#pragma once
#include <string>
#include <vector>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {

extern const char* const kUsageText;

enum class Command {
    seam,
    montage,
    tile2,
    models_list,
    models_fit,
    model_orig,
    models_glb,
    models_estimate,
    hd_pack,
    model_get,
    models_build,
    ui_montage,
    ui_orig,
    ui_build,
    ui_list,
    list,
    orig,
    usage,
    terrain,
};

// The one command the arguments select: the first matching rule wins.
Command select_command(const Args& args);

// Runs the selected command; usage prints the usage text and returns 2.
int run_command(Command command, const Args& args);

// The whole program: parse, select, run, and turn an escaping exception into
// "error: <message>" with status 1.
int run_tool(const std::vector<std::string>& arguments);

}  // namespace tarkeep::upscale
