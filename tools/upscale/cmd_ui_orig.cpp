// --ui-orig: UI sheets as the game draws them, and bled and enlarged twice as the
// build's background is.
#include "data/game_archives.h"
#include "data/game_file_names.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/ui_build.h"

namespace tarkeep::upscale {

int cmd_ui_orig(const Args& args) {
    const std::filesystem::path out_dir = args.path_value("--ui-orig");
    const data::GameArchives archives = open_game_archives(args.path(0));
    platform::create_folders(out_dir);
    for (const std::string& stem : args.list("--only")) {
        if (!usable_file_name(stem)) continue;
        const image::RgbaImage sheet = data::texture_to_rgba(archives.read(data::texture_file(stem)));
        image::write_png_file(out_dir / platform::path_from_utf8(stem + ".png"), sheet, true);
        image::write_png_file(out_dir / platform::path_from_utf8(stem + "_bl.png"), ui_background(sheet), true);
    }
    return 0;
}

}  // namespace tarkeep::upscale
