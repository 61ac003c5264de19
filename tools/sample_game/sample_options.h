// The command line of the sample game program: output folder and sample options.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "tools/sample_game/sample_game.h"

namespace tarkeep::sample_game {

struct SampleCommand {
    bool help = false;
    std::filesystem::path out_dir;
    sample_game::SampleGameOptions options;
};

extern const char* const kUsage;

// Throws std::invalid_argument with a one-line reason on bad usage.
SampleCommand parse_sample_command(const std::vector<std::string>& arguments);

}  // namespace tarkeep::sample_game
