// Writing player-colour patch files, and diffing two DXT textures into one.
#include "data/texture/pcpatch_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "io/byte_order.h"

namespace tarkeep::data {

using io::append_le32;
std::vector<std::uint8_t> pcpatch_payload(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs,
                                          const std::vector<std::uint8_t>& blocks) {
    std::vector<std::uint8_t> payload;
    append_le32(payload, std::uint32_t(runs.size()));
    for (const auto& [start, count] : runs) {
        append_le32(payload, start);
        append_le32(payload, count);
    }
    payload.insert(payload.end(), blocks.begin(), blocks.end());
    return payload;
}

std::vector<std::uint8_t> write_pcpatch(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs,
                                        const std::vector<std::uint8_t>& blocks) {
    TexcacheFields f;
    f.format = 0;  // the container's own format is not looked at
    f.pixels = pcpatch_payload(runs, blocks);
    f.num_pixels = std::uint32_t(f.pixels.size());
    return write_texcache(f);
}

std::vector<std::uint8_t> diff_pcpatch(const TexcacheFields& base, const TexcacheFields& coloured) {
    if (base.format != coloured.format || base.mipmaps.size() != coloured.mipmaps.size() ||
        base.pixels.size() != coloured.pixels.size()) {
        throw std::invalid_argument("diff_pcpatch: textures of different layout");
    }
    const std::size_t block_size = base.format == 4 ? 8 : 16;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    std::vector<std::uint8_t> blocks;
    for (std::size_t level = 0; level < base.mipmaps.size(); ++level) {
        if (level > 0) runs.emplace_back(pcpatch_separator, 0);
        const TexcacheMipEntry& mip = base.mipmaps[level];
        const std::uint32_t count =
            std::max<std::uint32_t>(1, (mip.width + 3) / 4) * std::max<std::uint32_t>(1, (mip.height + 3) / 4);
        const auto differs = [&](std::uint32_t block) {
            const std::size_t at = mip.offset + std::size_t(block) * block_size;
            return std::memcmp(base.pixels.data() + at, coloured.pixels.data() + at, block_size) != 0;
        };
        for (std::uint32_t block = 0; block < count;) {
            if (!differs(block)) {
                ++block;
                continue;
            }
            const std::uint32_t start = block;
            while (block < count && differs(block)) ++block;
            runs.emplace_back(start, block - start);
            const auto first = coloured.pixels.begin() + std::ptrdiff_t(mip.offset + start * block_size);
            blocks.insert(blocks.end(), first, first + std::ptrdiff_t((block - start) * block_size));
        }
    }
    return write_pcpatch(runs, blocks);
}

}  // namespace tarkeep::data
