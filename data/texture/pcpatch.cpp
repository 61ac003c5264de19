// Reading player-colour patches and writing their blocks over a texture's pixel data.
#include "data/texture/pcpatch.h"
#include "data/game_file_names.h"
#include "data/text_lines.h"

#include <algorithm>
#include <cstring>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "data/texture/texcache.h"
#include "io/byte_order.h"

namespace tarkeep::data {
namespace {

std::span<const std::uint8_t> pixel_data(std::span<const std::uint8_t> file, const TexcacheFile& tex) {
    return file.subspan(tex.pixels_offset, tex.num_pixels);
}

// Blocks of a level counted as the decoder lays them out: partial edge blocks included.
std::uint64_t level_blocks(const MipLevel& mip) {
    const std::uint64_t across = std::max<std::uint64_t>(1, (std::uint64_t(mip.width) + 3) / 4);
    const std::uint64_t down = std::max<std::uint64_t>(1, (std::uint64_t(mip.height) + 3) / 4);
    return across * down;
}

std::string run_text(std::uint32_t start, std::uint32_t count, std::size_t level) {
    return "pcpatch: run " + std::to_string(start) + "+" + std::to_string(count) + " outside mip " +
           std::to_string(level);
}

}  // namespace

std::string texture_stem(std::string_view name) {
    const std::size_t separator = name.find_last_of("/\\");
    const std::size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
    std::size_t end = name.size();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > name_start && name[dot - 1] != '.') end = dot;
    return ascii_lower(name.substr(0, end));
}

std::string pcpatch_name(std::string_view texture_name, char letter) {
    return patch_file(texture_stem(texture_name), letter);
}

PcPatch read_pcpatch(std::span<const std::uint8_t> patch_file) {
    const TexcacheFile tex = read_texcache(patch_file);
    const std::span<const std::uint8_t> payload = pixel_data(patch_file, tex);
    if (payload.size() < 4) throw TexError("pcpatch: payload too short");
    const std::uint64_t run_count = io::load_le32(payload.data());
    const std::uint64_t table_end = 4 + 8 * run_count;
    if (table_end > payload.size()) throw TexError("pcpatch: run table exceeds the payload");
    PcPatch patch;
    patch.runs.reserve(run_count);
    for (std::uint64_t i = 0; i < run_count; ++i) {
        const std::uint8_t* entry = payload.data() + 4 + 8 * i;
        patch.runs.emplace_back(io::load_le32(entry), io::load_le32(entry + 4));
    }
    patch.blocks.assign(payload.begin() + std::ptrdiff_t(table_end), payload.end());
    return patch;
}

std::vector<std::uint8_t> apply_pcpatch(std::span<const std::uint8_t> texture_file,
                                        std::span<const std::uint8_t> patch_file) {
    const TexcacheFile tex = read_texcache(texture_file);
    if (!is_dxt_format(tex.format)) throw TexError("pcpatch on non-DXT texture: " + format_name(tex.format));
    const std::uint64_t block_size = dxt_block_size(tex.format);
    const PcPatch patch = read_pcpatch(patch_file);
    const std::span<const std::uint8_t> pixels = pixel_data(texture_file, tex);
    std::vector<std::uint8_t> out(pixels.begin(), pixels.end());

    // Capped so that consumed * block_size never wraps; any capped value is already
    // far past the block data and fails the final check.
    constexpr std::uint64_t consumed_cap = std::uint64_t(1) << 58;
    std::size_t level = 0;
    std::uint64_t consumed = 0;
    for (const auto& [start, count] : patch.runs) {
        if (start == kPcpatchLevelSeparator) {
            ++level;
            continue;
        }
        if (level >= tex.mipmaps.size()) {
            throw TexError("pcpatch: mip level " + std::to_string(level) + " does not exist");
        }
        const MipLevel& mip = tex.mipmaps[level];
        const std::uint64_t blocks = level_blocks(mip);
        if (std::uint64_t(start) + count > blocks) {
            throw TexError(run_text(start, count, level) + " (" + std::to_string(blocks) + " blocks)");
        }
        const std::uint64_t target = mip.offset + std::uint64_t(start) * block_size;
        if (count > 0 && target >= out.size()) {
            throw TexError(run_text(start, count, level) + " pixel data (" + std::to_string(out.size()) + " bytes)");
        }
        const std::uint64_t source = consumed * block_size;
        const std::uint64_t wanted = std::uint64_t(count) * block_size;
        const std::uint64_t target_room = target < out.size() ? out.size() - target : 0;
        const std::uint64_t source_room = source < patch.blocks.size() ? patch.blocks.size() - source : 0;
        const std::uint64_t length = std::min({wanted, target_room, source_room});
        if (length > 0) std::memcpy(out.data() + target, patch.blocks.data() + source, length);
        consumed = std::min(consumed + count, consumed_cap);
    }
    if (consumed * block_size != patch.blocks.size()) {
        throw TexError("pcpatch: patch payload not fully consumed");
    }
    return out;
}

}  // namespace tarkeep::data
