// Writing player-colour patch files: from runs, or the patch between two textures.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "data/texture/texcache_writer.h"

namespace tarkeep::data {

inline constexpr std::uint32_t pcpatch_separator = 0xFFFFFFFFu;

// A patch's payload: run count, runs, block data.
std::vector<std::uint8_t> pcpatch_payload(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs,
                                          const std::vector<std::uint8_t>& blocks);

// A patch file: the payload (run count, runs, block data) inside a texture cache file.
std::vector<std::uint8_t> write_pcpatch(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs,
                                        const std::vector<std::uint8_t>& blocks);

// The patch that turns `base` into `coloured`, two DXT textures of the same format and
// mipmap table: per level, one run for each stretch of differing blocks, levels apart
// by separator runs.
std::vector<std::uint8_t> diff_pcpatch(const TexcacheFields& base, const TexcacheFields& coloured);

}  // namespace tarkeep::data
