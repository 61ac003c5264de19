// A game and a cache folder nested past 300 characters, end to end, and the folder calls of
// platform/ there. Wine has no 260-character limit of its own, so under Wine this shows that
// the extended-length calls work, not that the plain ones would have failed.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/cmdline.h"
#include "platform/files.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/terrain_game.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;
using platform::PathKind;

fs::path nested_past_300(const fs::path& base) {
    fs::path path = base;
    for (char c = 'a'; c < 'g'; ++c) path /= std::string(50, c);
    return path;
}

TEST(LongPaths, TerrainRunFillsAndReusesACacheFolderPast300Characters) {
    TempDir dir;
    const fs::path deep = nested_past_300(dir.path()), game = deep / "morv", cache = deep / "cache";
    ASSERT_GT(cache.native().size(), 300u);
    write_terrain_game(game, 4, 16);
    const auto utf8 = [](const fs::path& path) { return platform::path_to_utf8(path); };
    const std::vector<std::string> arguments = {
        utf8(game), utf8(cache), "--exe",    utf8(built_program("tools/ref_upscaler/tarkeep_ref_upscaler")),
        "--model",  "nearest",   "--margin", "4"};
    const auto first = run_program(built_program("tools/upscale/tarkeep_upscale"), arguments);
    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("done: 4 upscaled, 0 failed, cache 4 entries"), std::string::npos) << first.out;

    // A temporary left by a broken run is listed and removed by the next one.
    const std::vector<std::uint8_t> seven(7, 1);
    ASSERT_EQ(platform::write_file_synced(cache / "t9.png.tmp", seven), platform::WriteStatus::ok);
    EXPECT_EQ(platform::path_status(cache / "t9.png.tmp").size, 7u);
    const auto second = run_program(built_program("tools/upscale/tarkeep_upscale"), arguments);
    EXPECT_NE(second.out.find("4 terrain textures, 0 to upscale"), std::string::npos) << second.out << second.err;

    std::vector<std::string> names;
    for (const platform::FolderEntry& entry : platform::list_folder(cache)) {
        EXPECT_EQ(entry.kind, PathKind::file) << entry.path;
        names.push_back(platform::path_to_utf8(entry.path.filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"manifest.txt", "t0.png", "t1.png", "t2.png", "t3.png"}));

    platform::remove_tree(deep / "cache");
    EXPECT_EQ(platform::path_status(cache).kind, PathKind::missing);
    EXPECT_EQ(platform::list_folder(deep).size(), 1u);  // the game folder stays
}

// Missing paths are no error where the standard library's calls say so; the rest fails.
TEST(LongPaths, MissingPathsAndFilesInTheWayPastTheLimit) {
    TempDir dir;
    const fs::path deep = nested_past_300(dir.path()), file = deep / "f", missing = deep / "gone" / "x";
    platform::create_folders(deep / "sub" / "");
    ASSERT_EQ(platform::write_file_synced(file, std::vector<std::uint8_t>(3, 0)), platform::WriteStatus::ok);
    const platform::PathStatus sub = platform::path_status(deep / "sub");
    EXPECT_EQ(sub.kind, PathKind::folder);
    EXPECT_EQ(sub.size, 0u);  // sizes are for files only

    std::error_code error;
    EXPECT_EQ(platform::path_status(missing, error).kind, PathKind::missing);
    EXPECT_FALSE(error);
    platform::remove_path(missing, error);
    EXPECT_FALSE(error);
    platform::remove_tree(missing);
    EXPECT_TRUE(platform::list_folder(missing, error).empty());
    EXPECT_TRUE(error);
    EXPECT_THROW(platform::list_folder(file), fs::filesystem_error);
    EXPECT_THROW(platform::create_folders(file / "sub"), fs::filesystem_error);
    EXPECT_THROW(platform::create_folders(file), fs::filesystem_error);

    platform::remove_path(deep / "sub", error);
    EXPECT_FALSE(error);
    platform::remove_path(file, error);
    EXPECT_TRUE(platform::list_folder(deep).empty());
}

}  // namespace
}  // namespace tarkeep::test
