// The game's archives as the tool reads them.
#pragma once
#include <filesystem>

#include "data/game_archives.h"

namespace tarkeep::upscale {

// Every archive of the game's zips folder except the tool's own HD packs: those hold HD
// textures under the game's names, which a build must never take for its sources. Each pack
// left out is named once on standard error.
data::GameArchives open_game_archives(const std::filesystem::path& morv_dir);

}  // namespace tarkeep::upscale
