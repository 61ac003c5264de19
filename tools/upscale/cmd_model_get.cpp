// --model-get: one cached HD model texture, in a player colour, as a PNG file.
#include <cstdio>

#include "image/png_files.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/progress.h"

namespace tarkeep::upscale {

int cmd_model_get(const Args& args) {
    const std::filesystem::path cache_dir = args.path(1);
    if (!hd_cache_readable(cache_dir)) return 2;
    const std::string stem = opt(args, "--model-get", "");
    if (only_stems({stem}).empty()) return 2;
    const char colour = args.positional[2].empty() ? '0' : args.positional[2][0];
    const Stopwatch lookup;
    const data::GameArchives archives = open_game_archives(args.path(0));
    const std::optional<ModelHdImage> hd = get_model_hd(archives, cache_dir, stem, colour, 0);
    if (!hd) {
        std::printf("no HD texture for %s\n", stem.c_str());
        return 1;
    }
    image::write_png_file(args.path(3), hd->image, true);
    const double ms = lookup.seconds() * 1000.0;
    std::printf("%s colour %c: %ux%u patched %d, %.1f ms\n", stem.c_str(), colour, hd->image.width, hd->image.height,
                hd->patched ? 1 : 0, ms);
    return 0;
}
}  // namespace tarkeep::upscale
