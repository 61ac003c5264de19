// A texture's mip chain in its file's pixel layout, and the player-colour patch between two
// DXT chains.
#pragma once
#include <cstdint>
#include <vector>

#include "data/texture/dxt_encoder.h"
#include "data/texture/pixel_layout.h"
#include "data/texture/texcache_writer.h"
#include "image/mip_chain.h"

namespace tarkeep::data {

// The levels of a texture down to 1x1: their pixels (kept to compare a recoloured chain with)
// and their bytes in the layout.
struct TextureMipChain {
    PixelLayout layout;
    std::vector<image::RgbaImage> images;
    std::vector<TexcacheLevel> levels;
};

TextureMipChain encode_mip_chain(image::RgbaImage image, const PixelLayout& layout, image::MipAverage average,
                                 const DxtOptions& options);

// How many blocks of a level a patch may address: the game counts a level's blocks with
// truncating divisions, max(1, width / 4) x max(1, height / 4), although the level stores
// its blocks rounded up. Blocks past that count keep the neutral texture's bytes.
std::uint32_t patchable_blocks(std::uint32_t width, std::uint32_t height);

// The block runs and replacement blocks of a patch, level by level.
struct PatchRuns {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;  // (start block, count); separators between levels
    std::vector<std::uint8_t> blocks;
};

// The patch that turns `neutral` into the chain of `coloured` (an image of level 0's size):
// each level of `coloured` is reduced as `neutral`'s were, only the blocks whose pixels differ
// are encoded again, and the patch holds exactly the patchable blocks whose bytes then differ.
// Because a block's bytes depend on its pixels alone, the others would encode the same.
// Throws TexError for a chain that is not DXT.
PatchRuns colour_patch_runs(const TextureMipChain& neutral, image::RgbaImage coloured, image::MipAverage average,
                            const DxtOptions& options);

}  // namespace tarkeep::data
