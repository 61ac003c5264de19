// --model-orig: the game's own model texture, its mask and its player-colour versions as PNG files.
#include "data/texture/pcpatch.h"
#include "data/texture_colour_info.h"
#include "data/texture/texture_image.h"
#include "image/png_files.h"
#include "image/kernels.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {

int cmd_model_orig(const Args& args) {
    const std::filesystem::path out_dir = platform::path_from_utf8(opt(args, "--model-orig", ""));
    const std::uint32_t bilinear = to_unsigned(opt(args, "--bilinear", "0"));
    const data::GameArchives archives(platform::path_from_utf8(args.positional.at(0)));
    platform::create_folders(out_dir);
    auto write = [&](const image::RgbaImage& image, const std::string& name) {
        image::write_png_file(out_dir / platform::path_from_utf8(name + ".png"), image, true);
        if (bilinear > 1)
            image::write_png_file(out_dir / platform::path_from_utf8(name + "_bl.png"),
                                  resize_bilinear(image, bilinear * image.width, bilinear * image.height), true);
    };
    for (const std::string& stem : args.list("--only")) {
        const std::vector<std::uint8_t> bytes = archives.read(stem + ".texcache");
        write(data::texture_to_rgba(bytes), stem);
        const data::TextureColourInfo info = data::texture_colour_info(archives, stem);
        if (info.has_mask) write(data::texture_to_rgba(archives.read(stem + "_pc.texcache")), stem + "_pc");
        for (char letter : info.patch_letters) {
            const std::vector<std::uint8_t> patch = archives.read(data::pcpatch_name(stem, letter));
            write(data::texture_mip0(bytes, std::span<const std::uint8_t>(patch)), stem + "_" + letter);
        }
    }
    return 0;
}
}  // namespace tarkeep::upscale
