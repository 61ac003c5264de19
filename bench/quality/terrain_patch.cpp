// Puts real textures into a game folder as terrain textures: each PNG is box-reduced by 4
// and stored as a DXT1 texture file (with mips) under the given stem, in an archive that
// sorts after the game's own so that it replaces textures of those stems. Built by hand by
// run.py; not part of the build.
// Usage: terrain_patch <game dir> <stem>=<png file> ...
#include <cstdio>
#include <exception>
#include <string>

#include "data/game_folder_writer.h"
#include "data/texture/texcache_writer.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"

int main(int argc, char** argv) {
    using namespace tarkeep;
    if (argc < 3) {
        std::fprintf(stderr, "usage: terrain_patch <game dir> <stem>=<png file> ...\n");
        return 2;
    }
    try {
        data::ZipFiles textures;
        for (int i = 2; i < argc; ++i) {
            const std::string argument = argv[i];
            const std::size_t equals = argument.find('=');
            if (equals == std::string::npos) throw std::runtime_error("expected <stem>=<png file>: " + argument);
            const image::RgbaImage reduced =
                image::box_down(image::read_png_file(platform::path_from_utf8(argument.substr(equals + 1))), 4);
            const auto file = data::dxt_texcache(reduced.pixels, reduced.width, reduced.height, 4, true);
            textures.add("art/terrain/" + argument.substr(0, equals) + ".texcache",
                         std::string(file.begin(), file.end()));
        }
        data::GameFolderWriter(platform::path_from_utf8(argv[1])).add_zip("zz_quality.zip", textures);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
    return 0;
}
