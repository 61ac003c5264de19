// --model-orig: the game's own model texture, its mask and its player-colour versions as PNG files.
#include <cstdio>
#include <stdexcept>

#include "data/game_file_names.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texture_image.h"
#include "data/texture_colour_info.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {

int cmd_model_orig(const Args& args) {
    const std::filesystem::path out_dir = args.path_value("--model-orig");
    const std::uint32_t bilinear = size_value(args, "--bilinear", "0");
    const data::GameArchives archives = open_game_archives(args.path(0));
    platform::create_folders(out_dir);
    auto write = [&](const image::RgbaImage& image, const std::string& name) {
        if (image.width == 0 || image.height == 0) {
            std::fprintf(stderr, "warning: %s is %ux%u: not written\n", name.c_str(), image.width, image.height);
            return;
        }
        image::write_png_file(out_dir / platform::path_from_utf8(name + ".png"), image, true);
        if (bilinear <= 1) return;
        // Sizes are checked in 64 bits: a wrapped side would be written as a tiny image, and
        // a wrapped byte count would leave the scaled image's buffer short.
        const std::uint64_t width = std::uint64_t{bilinear} * image.width;
        const std::uint64_t height = std::uint64_t{bilinear} * image.height;
        if (width > UINT32_MAX || height > UINT32_MAX || width * height > UINT64_MAX / 4)
            throw std::out_of_range("--bilinear " + std::to_string(bilinear) + " makes " + name + " " +
                                    std::to_string(width) + "x" + std::to_string(height));
        image::write_png_file(
            out_dir / platform::path_from_utf8(name + "_bl.png"),
            resize_bilinear(image, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)), true);
    };
    for (const std::string& stem : only_stems(args.list("--only"))) {
        const std::vector<std::uint8_t> bytes = archives.read(data::texture_file(stem));
        write(data::texture_to_rgba(bytes), stem);
        const data::TextureColourInfo info = data::texture_colour_info(archives, stem);
        if (info.has_mask) write(data::texture_to_rgba(archives.read(data::mask_file(stem))), stem + "_pc");
        for (char letter : info.patch_letters) {
            const std::vector<std::uint8_t> patch = archives.read(data::pcpatch_name(stem, letter));
            write(data::texture_mip0(bytes, std::span<const std::uint8_t>(patch)), stem + "_" + letter);
        }
    }
    return 0;
}
}  // namespace tarkeep::upscale
