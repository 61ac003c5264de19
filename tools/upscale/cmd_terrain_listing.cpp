// The terrain texture list (--list) and the decoded sources (--orig).
#include <cstdio>
#include <map>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "platform/worker_pool.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/terrain_map.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

TerrainTextureMap load_terrain_map(const fs::path& morv_dir, const data::GameArchives& archives) {
    const data::GameDb db(morv_dir / "zips" / "db.zip");
    return build_terrain_texture_map(archives, db);
}

}  // namespace

int cmd_list(const fs::path& morv_dir) {
    const data::GameArchives archives = open_game_archives(morv_dir);
    const TerrainTextureMap map = load_terrain_map(morv_dir, archives);
    std::map<std::string, int> stems_per_climate;
    for (const auto& [stem, climates] : map) {
        std::string joined;
        for (const std::string& climate : climates) {
            if (!joined.empty()) joined += ",";
            joined += climate;
            ++stems_per_climate[climate];
        }
        std::printf("%s %s\n", stem.c_str(), joined.c_str());
    }
    std::printf("total %zu (", map.size());
    for (const auto& [climate, count] : stems_per_climate) std::printf(" %s %d", climate.c_str(), count);
    std::printf(" )\n");
    return 0;
}

int cmd_orig(const Args& args) {
    const fs::path morv_dir = args.path(0);
    const fs::path out_dir = args.path_value("--orig");
    const bool deblock_source = args.flag("--deblock");
    const int threshold = int_value(args, "--deblock-threshold", "10");
    platform::create_folders(out_dir);

    const data::GameArchives archives = open_game_archives(morv_dir);
    const std::vector<std::string> stems =
        select_stems(with_file_names(load_terrain_map(morv_dir, archives)), args.list("--only"), false);
    // Each stem is independent: decode and compress them on the worker pool.
    platform::run_jobs(stems.size(), [&](std::size_t i) {
        image::RgbaImage image = data::texture_to_rgb_opaque(archives.read(data::texture_file(stems[i])));
        if (deblock_source) image = deblock(image, threshold);
        image::write_png_file(out_dir / platform::path_from_utf8(stems[i] + ".png"), image, true);
    });
    return 0;
}

}  // namespace tarkeep::upscale
