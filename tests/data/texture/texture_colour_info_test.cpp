#include <gtest/gtest.h>

#include "data/game_archives.h"
#include "data/texture/texture_colour_info.h"
#include "tests/support/game_db_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

TEST(TextureColourInfo, AnswersFromTheArchives) {
    test::TempDir dir;
    const test::GameFolderWriter game(dir.path());
    game.add_zip("units.zip", test::ZipFiles()
                                  .add("Textures/Knight.texcache", "t")
                                  .add("Textures/KNIGHT_pc.texcache", "m")
                                  .add("Patches/knightA.pcpatch", "a")
                                  .add("Patches/KnightK.pcpatch", "k")
                                  .add("Patches/knightc.pcpatch", "lower-case letters are the same name")
                                  .add("Patches/knightL.pcpatch", "not a colour letter")
                                  .add("archer.texcache", "t"));
    const GameArchives archives(dir.path());

    const TextureColourInfo knight = texture_colour_info(archives, "Knight.TGA");
    EXPECT_EQ(knight.stem, "knight");
    EXPECT_TRUE(knight.has_texture);
    EXPECT_TRUE(knight.has_mask);
    EXPECT_EQ(knight.patch_letters, "ACK");

    const TextureColourInfo archer = texture_colour_info(archives, "archer");
    EXPECT_TRUE(archer.has_texture);
    EXPECT_FALSE(archer.has_mask);
    EXPECT_EQ(archer.patch_letters, "");

    const TextureColourInfo missing = texture_colour_info(archives, "Ghost.dds");
    EXPECT_EQ(missing.stem, "ghost");
    EXPECT_FALSE(missing.has_texture);
}

}  // namespace
}  // namespace tarkeep::data
