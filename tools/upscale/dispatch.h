#pragma once
#include <string>
#include <vector>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {

extern const char* const kUsageText;

enum class Command {
    Seam, Montage, Tile2, ModelsList, ModelsFit, ModelOrig, ModelsGlb, ModelsEstimate,
    ModelGet, ModelsBuild, UiMontage, UiOrig, UiBuild, UiList, List, Orig,
    Usage, Terrain,
};

// The one command the arguments select: the first matching rule wins.
Command select_command(const Args& args);

// Runs the selected command; Usage prints the usage text and returns 2.
int run_command(Command command, const Args& args);

// The whole program: parse, select, run, and turn an escaping exception into
// "error: <message>" with status 1.
int run_tool(const std::vector<std::string>& arguments);

}  // namespace tarkeep::upscale
