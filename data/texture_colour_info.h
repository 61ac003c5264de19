// Which variants of a texture the game archives hold: plain, _pc mask and patches A to K.
#pragma once
#include <string>
#include <string_view>

#include "data/game_archives.h"

namespace tarkeep::data {

// The player-colour letters, in order.
inline constexpr std::string_view kPlayerColourLetters = "ABCDEFGHIJK";

// Which variants of one texture the game archives hold.
struct TextureColourInfo {
    std::string stem;
    bool has_texture = false;   // stem + ".texcache"
    bool has_mask = false;      // stem + "_pc.texcache"
    std::string patch_letters;  // letters L with stem + L + ".pcpatch"
};

TextureColourInfo texture_colour_info(const GameArchives& archives, std::string_view texture_name);

}  // namespace tarkeep::data
