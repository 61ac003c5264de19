// Building the HD pack's files for one texture: DXT mip chains, the HD mask, the HD patches.
#include "tools/upscale/hd_pack.h"

#include "data/game_file_names.h"
#include "data/texture/pixel_layout.h"
#include "data/texture/texture_mips.h"
#include "data/texture/pcpatch.h"
#include "data/texture/pcpatch_writer.h"
#include "data/texture/texcache.h"
#include "data/texture/texcache_writer.h"
#include "data/texture_colour_info.h"
#include "image/png_files.h"
#include "io/zip_file_writer.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/model_hd.h"

namespace tarkeep::upscale {
namespace {

// The entry name of the game file `file_name` (its folder in the game's archive kept, so the pack
// mirrors the game's layout).
std::string game_entry_name(const data::GameArchives& archives, const std::string& file_name) {
    const data::GameArchives::Location* location = archives.find(file_name);
    return location ? location->entry : file_name;
}

data::PixelLayout layout_of(std::span<const std::uint8_t> original) {
    return data::pixel_layout(data::read_texcache(original));
}

io::ZipWriterEntry texture_entry(const data::GameArchives& archives, const std::string& file_name,
                                 std::span<const std::uint8_t> original, const data::TextureMipChain& chain) {
    return io::prepare_zip_entry(game_entry_name(archives, file_name),
                                 data::texcache_with_levels(original, chain.levels));
}

}  // namespace

PackedTexture pack_terrain_texture(const data::GameArchives& archives, const std::string& stem,
                                   std::span<const std::uint8_t> original, const image::RgbaImage& hd,
                                   const data::DxtOptions& options) {
    const data::TextureMipChain chain =
        data::encode_mip_chain(hd, layout_of(original), image::MipAverage::light, options);
    PackedTexture packed;
    packed.entries.push_back(texture_entry(archives, data::texture_file(stem), original, chain));
    return packed;
}

PackedTexture pack_model_texture(const data::GameArchives& archives, const std::filesystem::path& cache_dir,
                                 const std::string& stem, std::span<const std::uint8_t> texture,
                                 const image::RgbaImage& hd, const data::DxtOptions& options) {
    const data::TextureMipChain neutral =
        data::encode_mip_chain(hd, layout_of(texture), image::MipAverage::light, options);
    PackedTexture packed;
    packed.entries.push_back(texture_entry(archives, data::texture_file(stem), texture, neutral));
    const data::TextureColourInfo info = data::texture_colour_info(archives, stem);
    image::RgbaImage hd_mask;  // read once, for the mask entry and every colour's recolouring
    if (info.has_mask) {
        const std::vector<std::uint8_t> mask = archives.read(data::mask_file(stem));
        hd_mask = image::read_png_file(cache_file(cache_dir, stem + "_pc.png"));
        const data::TextureMipChain chain =
            data::encode_mip_chain(hd_mask, layout_of(mask), image::MipAverage::plain, options);
        packed.entries.push_back(texture_entry(archives, data::mask_file(stem), mask, chain));
        packed.mask = true;
    }
    for (const char letter : info.patch_letters) {
        image::RgbaImage coloured = hd;
        recolour_hd(archives, cache_dir, stem, texture, letter, coloured, info.has_mask ? &hd_mask : nullptr);
        const data::PatchRuns runs =
            data::colour_patch_runs(neutral, std::move(coloured), image::MipAverage::light, options);
        const std::string patch_name = data::pcpatch_name(stem, letter);
        const std::vector<std::uint8_t> game_patch = archives.read(patch_name);
        packed.entries.push_back(io::prepare_zip_entry(
            game_entry_name(archives, patch_name),
            data::texcache_with_pixels(game_patch, data::pcpatch_payload(runs.runs, runs.blocks))));
        ++packed.patches;
    }
    return packed;
}

std::string hd_pack_marker(const std::string& manifest_header, const std::vector<std::string>& records) {
    std::string text = std::string(kHdPackHeader) + "\n" + manifest_header + "\n";
    for (const std::string& record : records) text += record + "\n";
    return text;
}

}  // namespace tarkeep::upscale
