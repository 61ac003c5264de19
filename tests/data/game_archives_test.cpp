// The game archive index: which zips open, which entry wins, keys, and damaged or missing folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/game_archives.h"
#include "ddf_show.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

using test::ZipFiles;
using Names = std::vector<std::string>;

std::string text_of(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class GameArchivesTest : public testing::Test {
protected:
    test::TempDir temp;
    test::GameFolderWriter game{temp.path()};
};

TEST_F(GameArchivesTest, OnlyZipsOpenAndTheLaterByByteOrderWins) {
    // "B.zip" and "OLD.ZIP" sort before "a.zip", so a.zip overrides them.
    game.add_zip("a.zip", ZipFiles().add("x/T.texcache", "from a"));
    game.add_zip("B.zip", ZipFiles().add("y/z/t.TEXCACHE", "from B").add("only_b.txt", "b"));
    game.add_zip("OLD.ZIP", ZipFiles().add("old.txt", "old").add("t.texcache", "from OLD"));
    game.add_other_file("notes.zip.bak", "not an archive");
    game.add_other_file("readme.txt", "not an archive either");
    std::filesystem::create_directories(game.dir() / "zips" / "folder.zip");
    const GameArchives archives(game.dir());
    Names opened;
    for (const auto& archive : archives.archives()) opened.push_back(archive.first);
    EXPECT_EQ(opened, (Names{"B.zip", "OLD.ZIP", "a.zip"}));
    EXPECT_EQ(text_of(archives.read("t.texcache")), "from a");
    EXPECT_EQ(archives.find("t.texcache")->entry, "x/T.texcache");
    EXPECT_EQ(text_of(archives.read("ONLY_B.txt")), "b");
    EXPECT_EQ(text_of(archives.read("old.txt")), "old");
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
    EXPECT_EQ(archives.keys(), (Names{"", "readme.txt", "win\\style\\name.dds"}));
    // The message names the query as given.
    EXPECT_EQ(test::error_text<io::ZipError>([&] { archives.read("Art/Units/Name.dds"); }),
              "file not found in game archives: Art/Units/Name.dds");
}

TEST_F(GameArchivesTest, EmptyMissingAndCorruptFolders) {
    EXPECT_FALSE(GameArchives(game.dir()).contains(""));
    EXPECT_THROW(GameArchives{temp.path() / "nowhere"}, std::filesystem::filesystem_error);
    game.add_zip("a.zip", ZipFiles().add("a.txt", "a"));
    game.add_other_file("broken.zip", "this is no zip archive at all");
    EXPECT_THROW(GameArchives{game.dir()}, io::ZipError);
}

}  // namespace
}  // namespace tarkeep::data
