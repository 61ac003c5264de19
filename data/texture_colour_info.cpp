// Looking up the plain texture, its _pc mask and its player-colour patches in the game archives.
#include "data/texture_colour_info.h"

#include "data/game_file_names.h"
#include "data/texture/pcpatch.h"

namespace tarkeep::data {

TextureColourInfo texture_colour_info(const GameArchives& archives, std::string_view texture_name) {
    TextureColourInfo info;
    info.stem = texture_stem(texture_name);
    info.has_texture = archives.contains(texture_file(info.stem));
    info.has_mask = archives.contains(mask_file(info.stem));
    for (char letter : kPlayerColourLetters) {
        if (archives.contains(pcpatch_name(texture_name, letter))) info.patch_letters += letter;
    }
    return info;
}

}  // namespace tarkeep::data
