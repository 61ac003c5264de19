// Player-colour patches: runs of DXT blocks that replace parts of a texture, per colour letter.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarkeep::data {

// A run's start block; this value instead moves on to the next mip level.
inline constexpr std::uint32_t kPcpatchLevelSeparator = 0xFFFFFFFFu;

// Parsed payload of a player-colour patch: (start block, block count) runs and the
// replacement blocks of all runs, concatenated in run order.
struct PcPatch {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    std::vector<std::uint8_t> blocks;
};

// "units/Knight.texcache" -> "units/knight"; the extension is the last '.' of the file
// name when a non-dot character stands before it.
std::string texture_stem(std::string_view texture_name);

// Stem + colour letter + ".pcpatch".
std::string pcpatch_name(std::string_view texture_name, char letter);

// Throws TexError (texture file errors, "pcpatch: payload too short",
// "pcpatch: run table exceeds the payload").
PcPatch read_pcpatch(std::span<const std::uint8_t> patch_file);

// The texture's whole pixel data (all levels) with the patch's blocks written over it.
// Throws TexError with a "pcpatch" message.
std::vector<std::uint8_t> apply_pcpatch(std::span<const std::uint8_t> texture_file,
                                        std::span<const std::uint8_t> patch_file);

}  // namespace tarkeep::data
