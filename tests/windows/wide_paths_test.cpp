// Whole-program runs through paths past 300 characters with characters outside any ANSI code
// page (and spaces) in the game and cache folders (the upscaler's folder has them too, above
// the depth), and the folder calls of platform/ there. On Windows this is what breaks first
// when a narrow or a plain (not extended-length) call slips into process start-up or file
// access. Wine has no 260-character limit of its own, so there the depth shows that the
// extended-length calls work, not that the plain ones would have failed.
#include <gtest/gtest.h>

#include <set>

#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;
using platform::PathKind;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }
fs::path wide(const std::string& text) { return platform::path_from_utf8(text); }
constexpr auto npos = std::string::npos;

fs::path nested_past_300(const fs::path& base) {
    fs::path path = base;
    for (char c = 'a'; c < 'g'; ++c) path /= std::string(50, c);
    return path;
}

// The reference upscaler and its model descriptions copied into `folder`.
fs::path install_ref_upscaler(const fs::path& folder) {
    const fs::path built = built_program("tools/ref_upscaler/tarkeep_ref_upscaler");
    platform::create_folders(folder / "models");
    for (const char* file : {"nearest.param", "nearest.bin"})
        fs::copy_file(built_file("tools/ref_upscaler/models") / file, folder / "models" / file);
    fs::copy_file(built, folder / built.filename());
    return folder / built.filename();
}

ProgramResult upscale(const std::vector<std::string>& arguments) {
    return run_program(built_program("tools/upscale/tarkeep_upscale"), arguments);
}

TEST(DeepWidePaths, ListingThenTerrainRunsFillAndReuseTheCacheAndASampleGameIsWritten) {
    TempDir dir;
    const fs::path deep = nested_past_300(dir.path()), game = deep / wide("Morv \xC3\xA9\xE4\xB8\xAD"),
                   cache = deep / wide("cache \xD0\x96");  // "Morv é中", "cache Ж"
    ASSERT_GT(cache.native().size(), 300u);
    const TerrainGame written = write_terrain_game(game, 4, 16);
    const auto listed = upscale({utf8(game), "--list"});
    ASSERT_EQ(listed.exit_code, 0) << listed.out << listed.err;
    for (const auto& stem : written.stems) EXPECT_NE(("\n" + listed.out).find("\n" + stem + " "), npos) << stem;
    EXPECT_NE(listed.out.find("total 4 ( Arid 2 Temperate 2 Tropical 2 )\n"), npos) << listed.out;

    // The upscaler itself stays above the depth: a program is started by a path of at most 260
    // characters on Windows, whatever the long-path setting says.
    const fs::path upscaler = install_ref_upscaler(dir.path() / wide("up scaler \xCE\xBB"));  // "up scaler λ"
    const std::vector<std::string> arguments = {utf8(game), utf8(cache), "--exe",    utf8(upscaler),
                                                "--model",  "nearest",   "--margin", "4"};
    const auto first = upscale(arguments);
    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("4 terrain textures, 4 to upscale"), npos) << first.out;
    EXPECT_NE(first.out.find("done: 4 upscaled, 0 failed, cache 4 entries"), npos) << first.out;
    const std::string manifest = read_text(cache / "manifest.txt");
    std::set<std::string> expected_names = {"manifest.txt"};
    for (const auto& stem : written.stems) {
        const auto image = image::read_png_file(cache / (stem + ".png"));
        EXPECT_EQ(std::pair(image.width, image.height), std::pair(64u, 64u)) << stem;
        EXPECT_NE(manifest.find(stem), npos) << manifest;
        expected_names.insert(stem + ".png");
    }

    // A temporary left by a broken run is removed by the next one, which reads the cache back.
    ASSERT_EQ(platform::write_file_synced(cache / "t9.png.tmp", std::vector<std::uint8_t>(7, 1)),
              platform::WriteStatus::ok);
    EXPECT_EQ(platform::path_status(cache / "t9.png.tmp").size, 7u);
    const auto second = upscale(arguments);
    EXPECT_NE(second.out.find("4 terrain textures, 0 to upscale"), npos) << second.out << second.err;
    std::set<std::string> names;
    for (const platform::FolderEntry& entry : platform::list_folder(cache)) {
        EXPECT_EQ(entry.kind, PathKind::file) << entry.path;
        names.insert(utf8(entry.path.filename()));
    }
    EXPECT_EQ(names, expected_names);
    platform::remove_tree(cache);
    EXPECT_EQ(platform::path_status(cache).kind, PathKind::missing);
    EXPECT_EQ(platform::list_folder(deep).size(), 1u);  // the game stays

    const fs::path sample = deep / wide("sample \xC3\xBC \xE4\xB8\xAD");  // "sample ü 中"
    const auto sampled = run_program(built_program("tools/sample_game/tarkeep_sample_game"), {utf8(sample)});
    ASSERT_EQ(sampled.exit_code, 0) << sampled.out << sampled.err;
    EXPECT_EQ(platform::path_status(sample / "zips" / "db.zip").kind, PathKind::file);
    const auto sample_listed = upscale({utf8(sample), "--list"});
    EXPECT_NE(sample_listed.out.find("\ntotal "), npos) << sample_listed.out << sample_listed.err;
    const fs::path glb = deep / wide("knight \xCE\xBB.glb");  // "knight λ.glb", no HD textures in `cache`
    const auto exported = upscale({utf8(sample), utf8(cache), "knight", utf8(glb), "--models-glb"});
    EXPECT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_EQ(platform::path_status(glb).kind, PathKind::file);
}

// Missing paths are no error where the standard library's calls say so; the rest fails.
TEST(DeepWidePaths, MissingPathsAndFilesInTheWayPastTheLimit) {
    TempDir dir;
    const fs::path deep = nested_past_300(dir.path()), file = deep / "f", missing = deep / "gone" / "x";
    platform::create_folders(deep / "sub" / "");
    ASSERT_EQ(platform::write_file_synced(file, std::vector<std::uint8_t>(3, 0)), platform::WriteStatus::ok);
    const platform::PathStatus sub = platform::path_status(deep / "sub");
    EXPECT_EQ(std::pair(sub.kind, sub.size), std::pair(PathKind::folder, std::uint64_t{0}));  // sizes: files only

    std::error_code error;
    EXPECT_EQ(platform::path_status(missing, error).kind, PathKind::missing);
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
