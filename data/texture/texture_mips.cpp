// Encoding mip chains in a texture's layout, and patching one DXT chain into another block by block.
#include "data/texture/texture_mips.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "data/texture/dxt.h"
#include "data/texture/pcpatch_writer.h"
#include "data/texture/tex_error.h"

namespace tarkeep::data {
namespace {

std::uint32_t blocks_across(std::uint32_t width) { return std::max<std::uint32_t>(1, (width + 3) / 4); }

// The 16 pixels the encoder sees for block (bx, by): outside the image the last row or column
// repeats, as the encoder pads.
void block_pixels(const image::RgbaImage& image, std::uint32_t bx, std::uint32_t by, std::uint8_t* out) {
    for (std::uint32_t row = 0; row < 4; ++row) {
        const std::uint32_t y = std::min(by * 4 + row, image.height - 1);
        for (std::uint32_t column = 0; column < 4; ++column) {
            const std::uint32_t x = std::min(bx * 4 + column, image.width - 1);
            std::memcpy(out + (row * 4 + column) * 4, &image.pixels[(std::size_t(y) * image.width + x) * 4], 4);
        }
    }
}

// The blocks of one level whose pixels differ, encoded again, as (block index, bytes) in index
// order; only the first `limit` blocks are looked at.
std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> changed_blocks(const image::RgbaImage& neutral,
                                                                                const image::RgbaImage& coloured,
                                                                                std::uint32_t format,
                                                                                std::uint32_t limit,
                                                                                const DxtOptions& options) {
    const std::uint32_t across = blocks_across(neutral.width);
    std::vector<std::uint32_t> indices;
    image::RgbaImage strip{4, 0, {}};  // the changed blocks stacked, one block per row of blocks
    constexpr std::size_t kBlockBytes = 16 * 4;
    std::uint8_t a[kBlockBytes], b[kBlockBytes];
    for (std::uint32_t index = 0; index < limit; ++index) {
        block_pixels(neutral, index % across, index / across, a);
        block_pixels(coloured, index % across, index / across, b);
        if (std::memcmp(a, b, kBlockBytes) == 0) continue;
        indices.push_back(index);
        strip.pixels.insert(strip.pixels.end(), b, b + kBlockBytes);
        strip.height += 4;
    }
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> result;
    if (indices.empty()) return result;
    const std::vector<std::uint8_t> encoded = encode_dxt(strip.pixels.data(), 4, strip.height, format, options);
    const std::size_t block_size = dxt_block_size(format);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const auto first = encoded.begin() + std::ptrdiff_t(i * block_size);
        result.emplace_back(indices[i], std::vector<std::uint8_t>(first, first + std::ptrdiff_t(block_size)));
    }
    return result;
}

}  // namespace

TextureMipChain encode_mip_chain(image::RgbaImage image, const PixelLayout& layout, image::MipAverage average,
                                 const DxtOptions& options) {
    TextureMipChain chain;
    chain.layout = layout;
    chain.images = image::mip_chain(std::move(image), average);
    for (const image::RgbaImage& level : chain.images)
        chain.levels.push_back({level.width, level.height, encode_pixels(level, layout, options)});
    return chain;
}

std::uint32_t patchable_blocks(std::uint32_t width, std::uint32_t height) {
    return std::max<std::uint32_t>(1, width / 4) * std::max<std::uint32_t>(1, height / 4);
}

PatchRuns colour_patch_runs(const TextureMipChain& neutral, image::RgbaImage coloured, image::MipAverage average,
                            const DxtOptions& options) {
    if (neutral.images.empty() || coloured.width != neutral.images[0].width ||
        coloured.height != neutral.images[0].height) {
        throw std::invalid_argument("colour_patch_runs: the coloured image is not the neutral texture's size");
    }
    if (!neutral.layout.is_dxt()) throw TexError("player-colour patches need a DXT texture");
    const std::uint32_t format = neutral.layout.format;
    const std::vector<image::RgbaImage> coloured_levels = image::mip_chain(std::move(coloured), average);
    const std::size_t block_size = dxt_block_size(format);
    PatchRuns patch;
    std::size_t separators_owed = 0;  // written only when a later level has runs
    for (std::size_t level = 0; level < neutral.images.size(); ++level) {
        if (level > 0) ++separators_owed;
        const image::RgbaImage& image = neutral.images[level];
        const std::vector<std::uint8_t>& neutral_bytes = neutral.levels[level].data;
        const std::uint32_t limit = patchable_blocks(image.width, image.height);
        for (const auto& [index, bytes] : changed_blocks(image, coloured_levels[level], format, limit, options)) {
            if (std::memcmp(bytes.data(), neutral_bytes.data() + index * block_size, block_size) == 0) continue;
            for (; separators_owed > 0; --separators_owed) patch.runs.emplace_back(pcpatch_separator, 0);
            if (!patch.runs.empty() && patch.runs.back().first != pcpatch_separator &&
                patch.runs.back().first + patch.runs.back().second == index) {
                ++patch.runs.back().second;
            } else {
                patch.runs.emplace_back(index, 1);
            }
            patch.blocks.insert(patch.blocks.end(), bytes.begin(), bytes.end());
        }
    }
    return patch;
}

}  // namespace tarkeep::data
