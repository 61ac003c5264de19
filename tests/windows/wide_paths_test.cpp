// Whole-program runs where every path holds characters outside any ANSI code page: the
// game folder, the cache folder and the upscaler's own folder (which also holds a space).
// On Windows this is what breaks first when a narrow API slips in.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/cmdline.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tools/upscale/file_io.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }

// The reference upscaler and its model descriptions copied into `folder`.
fs::path install_ref_upscaler(const fs::path& folder) {
    const fs::path built = built_program("tools/ref_upscaler/tarkeep_ref_upscaler");
    fs::create_directories(folder / "models");
    const fs::path program = folder / built.filename();
    fs::copy_file(built, program);
    for (const char* file : {"nearest.param", "nearest.bin"})
        fs::copy_file(built_file("tools/ref_upscaler/models") / file, folder / "models" / file);
    return program;
}

class WidePaths : public ::testing::Test {
protected:
    void SetUp() override {
        game_dir_ = dir_ / platform::path_from_utf8("Morv \xC3\xA9\xE4\xB8\xAD");           // "Morv é中"
        cache_dir_ = dir_ / platform::path_from_utf8("cache \xD0\x96");                   // "cache Ж"
        tool_dir_ = dir_ / platform::path_from_utf8("up scaler \xCE\xBB");                // "up scaler λ"
        game_ = write_terrain_game(game_dir_, 4, 16);
    }

    ProgramResult upscale(const std::vector<std::string>& arguments) {
        return run_program(built_program("tools/upscale/tarkeep_upscale"), arguments);
    }

    TempDir dir_;
    fs::path game_dir_, cache_dir_, tool_dir_;
    TerrainGame game_;
};

TEST_F(WidePaths, ListingOpensTheArchivesOfANonAsciiGameFolder) {
    const auto result = upscale({utf8(game_dir_), "--list"});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    const std::string lines = "\n" + result.out;
    for (const auto& stem : game_.stems)
        EXPECT_NE(lines.find("\n" + stem + " "), std::string::npos) << stem << "\n" << result.out;
    EXPECT_NE(result.out.find("total 4 ( Arid 2 Temperate 2 Tropical 2 )\n"), std::string::npos) << result.out;
}

TEST_F(WidePaths, TerrainRunStartsTheUpscalerAndFillsTheCache) {
    const fs::path upscaler = install_ref_upscaler(tool_dir_);
    const auto result =
        upscale({utf8(game_dir_), utf8(cache_dir_), "--exe", utf8(upscaler), "--model", "nearest", "--margin", "4"});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("4 terrain textures, 4 to upscale"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("done: 4 upscaled, 0 failed, cache 4 entries"), std::string::npos) << result.out;
    for (const auto& stem : game_.stems) {
        const auto image = upscale::read_png_file(cache_dir_ / (stem + ".png"));
        EXPECT_EQ(image.width, 64u) << stem;
        EXPECT_EQ(image.height, 64u) << stem;
    }
    std::ifstream manifest(cache_dir_ / "manifest.txt", std::ios::binary);
    std::stringstream text;
    text << manifest.rdbuf();
    for (const auto& stem : game_.stems) EXPECT_NE(text.str().find(stem), std::string::npos) << text.str();
    EXPECT_FALSE(fs::exists(cache_dir_ / "_work"));

    // The second run reads the cache back through the same wide paths.
    const auto again =
        upscale({utf8(game_dir_), utf8(cache_dir_), "--exe", utf8(upscaler), "--model", "nearest", "--margin", "4"});
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_NE(again.out.find("4 terrain textures, 0 to upscale"), std::string::npos) << again.out;
}

TEST_F(WidePaths, SampleGameIsWrittenIntoANonAsciiFolderAndListed) {
    const fs::path sample = dir_ / platform::path_from_utf8("sample \xC3\xBC \xE4\xB8\xAD");  // "sample ü 中"
    const auto written = run_program(built_program("tools/sample_game/tarkeep_sample_game"), {utf8(sample)});
    ASSERT_EQ(written.exit_code, 0) << written.out << written.err;
    EXPECT_TRUE(fs::is_regular_file(sample / "zips" / "db.zip"));
    const auto listed = upscale({utf8(sample), "--list"});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    EXPECT_NE(listed.out.find("\ntotal "), std::string::npos) << listed.out;
}

}  // namespace
}  // namespace tarkeep::test
