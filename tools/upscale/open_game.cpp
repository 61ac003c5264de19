// Opening the game's archives without the tool's own HD packs.
#include "tools/upscale/open_game.h"

#include <cstdio>

namespace tarkeep::upscale {

data::GameArchives open_game_archives(const std::filesystem::path& morv_dir) {
    data::GameArchives archives(morv_dir, data::HdPacks::skip);
    for (const std::string& pack : archives.skipped_packs()) {
        std::fprintf(stderr, "warning: %s is an HD pack made by this tool: not read as game data\n", pack.c_str());
    }
    return archives;
}

}  // namespace tarkeep::upscale
