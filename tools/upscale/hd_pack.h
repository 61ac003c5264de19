// The HD pack: HD textures from a cache folder written back in the game's own texture files, in
// one zip archive that the game reads after its own.
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/texture/dxt_encoder.h"
#include "image/rgba_image.h"
#include "io/zip_writer.h"

namespace tarkeep::upscale {

// The first line of the marker entry (data::kHdPackMarkerEntry); the cache manifest's first line
// and the records of the packed textures follow it.
inline constexpr const char* kHdPackHeader = "tarkeep-hd-pack 1";

// The files the pack holds for one texture, ready for the archive, each under the entry name of
// the game file it replaces.
struct PackedTexture {
    std::vector<io::ZipWriterEntry> entries;
    bool mask = false;
    std::size_t patches = 0;
};

// <stem>.texcache at the HD image's size in the original's pixel format (DXT1, DXT3, DXT5, or
// the original's RGB or RGBA layout), with every mip level down to 1x1, colours averaged in
// linear light. `original` is the game's file. Throws TexError for a format this tool cannot
// write (palettes, bump maps).
PackedTexture pack_terrain_texture(const data::GameArchives& archives, const std::string& stem,
                                   std::span<const std::uint8_t> original, const image::RgbaImage& hd,
                                   const data::DxtOptions& options);

// As above, plus <stem>_pc.texcache from the HD mask when the game has a mask, and an HD patch
// <stem><L>.pcpatch for every colour L the game has a patch for: the HD texture recoloured for
// that colour, as --model-get makes it, holding only the blocks that differ from the neutral HD
// texture. Every game patch gets an HD one (maybe empty), since a game patch applied to an HD
// texture would scramble it. Throws when the cache's HD mask cannot be read ("cannot read <path>").
PackedTexture pack_model_texture(const data::GameArchives& archives, const std::filesystem::path& cache_dir,
                                 const std::string& stem, std::span<const std::uint8_t> texture,
                                 const image::RgbaImage& hd, const data::DxtOptions& options);

// The marker entry's text: the header, then `manifest_header` and `records` (manifest lines).
std::string hd_pack_marker(const std::string& manifest_header, const std::vector<std::string>& records);

}  // namespace tarkeep::upscale
