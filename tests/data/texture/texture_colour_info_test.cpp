// Which texture, mask and patch variants texture_colour_info finds in the game archives.
#include <gtest/gtest.h>

#include <tuple>

#include "data/game_archives.h"
#include "data/texture/texture_colour_info.h"
#include "data/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

TEST(TextureColourInfo, AnswersFromTheArchives) {
    test::TempDir dir;
    const data::GameFolderWriter game(dir.path());
    game.add_zip("units.zip", data::ZipFiles()
                                  .add("Textures/Knight.texcache", "t")
                                  .add("Textures/KNIGHT_pc.texcache", "m")
                                  .add("Patches/knightA.pcpatch", "a")
                                  .add("Patches/KnightK.pcpatch", "k")
                                  .add("Patches/knightc.pcpatch", "lower-case letters are the same name")
                                  .add("Patches/knightL.pcpatch", "not a colour letter")
                                  .add("archer.texcache", "t"));
    const GameArchives archives(dir.path());

    // stem, has_texture, has_mask, patch_letters
    const auto fields = [&](const char* name) {
        const TextureColourInfo info = texture_colour_info(archives, name);
        return std::tuple(info.stem, info.has_texture, info.has_mask, info.patch_letters);
    };
    EXPECT_EQ(fields("Knight.TGA"), std::tuple("knight", true, true, "ACK"));
    EXPECT_EQ(fields("archer"), std::tuple("archer", true, false, ""));
    EXPECT_EQ(fields("Ghost.dds"), std::tuple("ghost", false, false, ""));
}

}  // namespace
}  // namespace tarkeep::data
