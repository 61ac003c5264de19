// --models-list, --model-get and --model-orig: looking at the model texture
// catalogue, the HD cache and the game's own textures.
#include <chrono>
#include <cstdio>
#include <map>

#include "data/texture/dxt.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texture_colour_info.h"
#include "data/texture/texture_image.h"
#include "image/image_files.h"
#include "image/kernels.h"
#include "platform/cmdline.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void print_counts(const char* title, const std::map<std::string, int>& counts) {
    std::printf("%s", title);
    for (const auto& [name, count] : counts) std::printf(" %s:%d", name.c_str(), count);
}

}  // namespace

int cmd_models_list(const fs::path& morv_dir, bool verbose) {
    const auto start = Clock::now();
    const data::GameArchives archives(morv_dir);
    const ModelCatalogue catalogue = scan_model_textures(archives, true);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    int masked = 0, odd_masks = 0, patched = 0, patched_unmasked = 0, alpha = 0;
    double mpx = 0;
    std::map<std::string, int> sides, formats;
    for (const auto& [stem, t] : catalogue) {
        const std::string format = data::format_name(t.format);
        if (verbose)
            std::printf("%s %ux%u %s users %d mask %ux%u patches %s alpha %d\n", stem.c_str(), t.width, t.height,
                        format.c_str(), t.users, t.mask_width, t.mask_height,
                        t.patches.empty() ? "-" : t.patches.c_str(), t.alpha ? 1 : 0);
        if (t.has_mask()) {
            ++masked;
            if (t.mask_width != t.width || t.mask_height != t.height) ++odd_masks;
        }
        if (!t.patches.empty()) {
            ++patched;
            if (!t.has_mask()) ++patched_unmasked;
        }
        alpha += t.alpha ? 1 : 0;
        mpx += static_cast<double>(t.width) * t.height / 1e6;
        ++sides[std::to_string(std::max(t.width, t.height))];
        ++formats[format];
    }
    std::printf(
        "%zu model textures (%.1f s): %d with mask (%d mask size != "
        "base), %d with patches (%d without mask), "
        "%d with alpha, %.1f Mpx\n",
        catalogue.size(), seconds, masked, odd_masks, patched, patched_unmasked, alpha, mpx);
    print_counts("max side:", sides);
    print_counts("\nformats:", formats);
    std::printf("\n");
    return 0;
}

int cmd_model_get(const Args& args) {
    if (args.positional.size() < 4) {
        std::fputs(
            "usage: <Morv dir> <cache dir> <colour|0> <out.png> --model-get "
            "<tex>\n",
            stderr);
        return 2;
    }
    const fs::path cache_dir = platform::path_from_utf8(args.positional[1]);
    if (std::string problem = foreign_manifest_problem(cache_dir); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    const std::string stem = opt(args, "--model-get", "");
    const char colour = args.positional[2].empty() ? '0' : args.positional[2][0];
    const auto start = Clock::now();
    const data::GameArchives archives(platform::path_from_utf8(args.positional[0]));
    const std::optional<ModelHdImage> hd = get_model_hd(archives, cache_dir, stem, colour, 0);
    if (!hd) {
        std::printf("no HD texture for %s\n", stem.c_str());
        return 1;
    }
    image::write_png_file(platform::path_from_utf8(args.positional[3]), hd->image, true);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%s colour %c: %ux%u patched %d, %.1f ms\n", stem.c_str(), colour, hd->image.width, hd->image.height,
                hd->patched ? 1 : 0, ms);
    return 0;
}

int cmd_model_orig(const Args& args) {
    const fs::path out_dir = platform::path_from_utf8(opt(args, "--model-orig", ""));
    const std::uint32_t bilinear = to_unsigned(opt(args, "--bilinear", "0"));
    const data::GameArchives archives(platform::path_from_utf8(args.positional.at(0)));
    fs::create_directories(out_dir);
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
