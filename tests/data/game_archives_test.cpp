#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/game_archives.h"
#include "tests/support/game_db_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"

namespace tarkeep::data {
namespace {

using test::GameFolderWriter;
using test::ZipFiles;

std::string text_of(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class GameArchivesTest : public testing::Test {
protected:
    test::TempDir temp;
    GameFolderWriter game{temp.path()};
};

TEST_F(GameArchivesTest, LaterArchiveByByteOrderWins) {
    // "B.zip" sorts before "a.zip", so a.zip overrides it.
    game.add_zip("a.zip", ZipFiles().add("x/T.texcache", "from a"));
    game.add_zip("B.zip", ZipFiles().add("y/z/t.TEXCACHE", "from B").add("only_b.txt", "b"));
    const GameArchives archives(game.dir());
    ASSERT_EQ(archives.archives().size(), 2u);
    EXPECT_EQ(archives.archives()[0].first, "B.zip");
    EXPECT_EQ(archives.archives()[1].first, "a.zip");
    EXPECT_EQ(text_of(archives.read("t.texcache")), "from a");
    EXPECT_EQ(text_of(archives.read("T.TexCache")), "from a");
    EXPECT_EQ(archives.find("t.texcache")->entry, "x/T.texcache");
    EXPECT_EQ(text_of(archives.read("ONLY_B.txt")), "b");
}

TEST_F(GameArchivesTest, KeysAreFileNamesOnly) {
    game.add_zip("data.zip", ZipFiles()
                                 .add("Readme.txt", "top")
                                 .add("art/units/Readme.txt", "deep")
                                 .add("art/", "")
                                 .add("win\\style\\Name.dds", "backslashes"));
    const GameArchives archives(game.dir());
    // The later record of one archive shadows the earlier one of the same file name.
    EXPECT_EQ(text_of(archives.read("readme.txt")), "deep");
    EXPECT_FALSE(archives.contains("art/units/readme.txt"));
    EXPECT_TRUE(archives.contains("win\\style\\name.dds"));
    EXPECT_FALSE(archives.contains("name.dds"));
    EXPECT_EQ(archives.keys(), (std::vector<std::string>{"", "readme.txt", "win\\style\\name.dds"}));
}

TEST_F(GameArchivesTest, MissingFileMessageNamesTheQueryAsGiven) {
    game.add_zip("data.zip", ZipFiles().add("textures/t.texcache", "t"));
    const GameArchives archives(game.dir());
    try {
        archives.read("Textures/T.texcache");
        FAIL();
    } catch (const io::ZipError& error) {
        EXPECT_STREQ(error.what(), "file not found in game archives: Textures/T.texcache");
    }
}

TEST_F(GameArchivesTest, OnlyZipExtensionsAreOpened) {
    game.add_zip("OLD.ZIP", ZipFiles().add("old.txt", "old"));
    game.add_other_file("notes.zip.bak", "not an archive");
    game.add_other_file("readme.txt", "not an archive either");
    const GameArchives archives(game.dir());
    ASSERT_EQ(archives.archives().size(), 1u);
    EXPECT_EQ(archives.archives()[0].first, "OLD.ZIP");
    EXPECT_TRUE(archives.contains("old.txt"));
}

TEST_F(GameArchivesTest, CorruptArchiveFailsTheOpen) {
    game.add_zip("a.zip", ZipFiles().add("a.txt", "a"));
    game.add_other_file("broken.zip", "this is no zip archive at all");
    EXPECT_THROW(GameArchives{game.dir()}, io::ZipError);
}

TEST(GameArchives, MissingZipsFolderIsAFileSystemError) {
    test::TempDir temp;
    EXPECT_THROW(GameArchives{temp.path()}, std::filesystem::filesystem_error);
}

TEST_F(GameArchivesTest, EmptyFolderHasNoKeys) {
    const GameArchives archives(game.dir());
    EXPECT_TRUE(archives.keys().empty());
    EXPECT_FALSE(archives.contains(""));
}

}  // namespace
}  // namespace tarkeep::data
