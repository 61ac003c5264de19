// Runs through paths with characters outside any ANSI code page (and spaces): the upscaler
// runner starting the reference upscaler, and whole-program runs over the game folder, the
// cache folder and the upscaler's own folder. On Windows this is what breaks first when a
// narrow API slips into process start-up or file access.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "image/png.h"
#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/terrain_game.h"
#include "image/image_files.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }
fs::path wide(const std::string& text) { return platform::path_from_utf8(text); }

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

struct RunnerFixture {
    TempDir dir;
    fs::path in = dir / wide("in \xE4\xB8\xAD");  // "in 中"
    fs::path out = dir / "out put";
    fs::path log = dir / "upscaler log.txt";
    upscale::UpscalerConfig config;

    RunnerFixture() {
        const fs::path tools = dir / wide("Program Files \xC3\xA9");  // "Program Files é"
        config.exe = install_ref_upscaler(tools);
        config.model_dirs = {tools / "models"};
        fs::create_directories(in);
        fs::create_directories(out);
    }
};

TEST(ChildProcess, UpscalerFromAFolderWithSpacesUpscalesEveryInput) {
    RunnerFixture f;
    data::RgbaImage source{5, 3, std::vector<std::uint8_t>(5 * 3 * 4)};
    for (std::size_t i = 0; i < source.pixels.size(); ++i) source.pixels[i] = static_cast<std::uint8_t>(i * 7);
    image::write_png_file(f.in / "a.png", source, true);
    image::write_png_file(f.in / wide("b \xC3\xBC.png"), source, false);  // "b ü.png"

    EXPECT_EQ(upscale::run_upscaler(f.config, "nearest", f.in, f.out, {"32"}, f.log), "");
    for (const char* name : {"a.png", "b \xC3\xBC.png"}) {
        const auto image = image::read_png_file(f.out / wide(name));
        ASSERT_EQ(image.width, 20u) << name;
        ASSERT_EQ(image.height, 12u) << name;
        // Nearest: every output pixel is its source pixel.
        for (std::uint32_t y = 0; y < 12; ++y)
            for (std::uint32_t x = 0; x < 20; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(image.pixels[(y * 20 + x) * 4 + c], source.pixels[((y / 4) * 5 + x / 4) * 4 + c])
                        << name << " " << x << "," << y;
    }
}

TEST(ChildProcess, ChildsStandardErrorIsCapturedInTheLog) {
    RunnerFixture f;
    std::ofstream(f.in / "broken.png", std::ios::binary) << "not a png";

    const std::string error = upscale::run_upscaler(f.config, "nearest", f.in, f.out, {"32"}, f.log);
    const std::string line = upscale::build_command(f.config, "nearest", f.in, f.out, {"32"});
    EXPECT_TRUE(error.starts_with("Real-ESRGAN failed (exit code 1): " + line + "\n  ")) << error;
    EXPECT_NE(error.find("broken.png failed: "), std::string::npos) << error;
    EXPECT_NE(read_text(f.log).find(utf8(f.in / "broken.png") + " failed: "), std::string::npos) << read_text(f.log);

    // A bad switch: usage on standard error, status 2, and the log replaced.
    EXPECT_EQ(platform::run_process("\"" + utf8(f.config.exe) + "\" -q 1", f.log), 2);
    const std::string log = read_text(f.log);
    EXPECT_TRUE(log.starts_with("failed: unknown switch -q")) << log;
    EXPECT_NE(log.find("usage: tarkeep_ref_upscaler"), std::string::npos);
    EXPECT_EQ(log.find("broken.png"), std::string::npos);
}

class WidePaths : public ::testing::Test {
protected:
    ProgramResult upscale(const std::vector<std::string>& arguments) {
        return run_program(built_program("tools/upscale/tarkeep_upscale"), arguments);
    }

    TempDir dir_;
    fs::path game_dir_ = dir_ / wide("Morv \xC3\xA9\xE4\xB8\xAD");  // "Morv é中"
    fs::path cache_dir_ = dir_ / wide("cache \xD0\x96");            // "cache Ж"
    TerrainGame game_ = write_terrain_game(game_dir_, 4, 16);
};

TEST_F(WidePaths, ListingOpensTheArchivesOfANonAsciiGameFolder) {
    const auto result = upscale({utf8(game_dir_), "--list"});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    for (const auto& stem : game_.stems)
        EXPECT_NE(("\n" + result.out).find("\n" + stem + " "), std::string::npos) << stem << "\n" << result.out;
    EXPECT_NE(result.out.find("total 4 ( Arid 2 Temperate 2 Tropical 2 )\n"), std::string::npos) << result.out;
}

TEST_F(WidePaths, TerrainRunStartsTheUpscalerAndFillsTheCache) {
    const fs::path upscaler = install_ref_upscaler(dir_ / wide("up scaler \xCE\xBB"));  // "up scaler λ"
    const std::vector<std::string> arguments = {utf8(game_dir_), utf8(cache_dir_), "--exe",    utf8(upscaler),
                                                "--model",       "nearest",        "--margin", "4"};
    const auto result = upscale(arguments);
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("4 terrain textures, 4 to upscale"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("done: 4 upscaled, 0 failed, cache 4 entries"), std::string::npos) << result.out;
    const std::string manifest = read_text(cache_dir_ / "manifest.txt");
    for (const auto& stem : game_.stems) {
        const auto image = image::read_png_file(cache_dir_ / (stem + ".png"));
        EXPECT_EQ(image.width, 64u) << stem;
        EXPECT_EQ(image.height, 64u) << stem;
        EXPECT_NE(manifest.find(stem), std::string::npos) << manifest;
    }
    EXPECT_FALSE(fs::exists(cache_dir_ / "_work"));

    // The second run reads the cache back through the same wide paths.
    const auto again = upscale(arguments);
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_NE(again.out.find("4 terrain textures, 0 to upscale"), std::string::npos) << again.out;
}

TEST_F(WidePaths, SampleGameIsWrittenIntoANonAsciiFolderAndListed) {
    const fs::path sample = dir_ / wide("sample \xC3\xBC \xE4\xB8\xAD");  // "sample ü 中"
    const auto written = run_program(built_program("tools/sample_game/tarkeep_sample_game"), {utf8(sample)});
    ASSERT_EQ(written.exit_code, 0) << written.out << written.err;
    EXPECT_TRUE(fs::is_regular_file(sample / "zips" / "db.zip"));
    const auto listed = upscale({utf8(sample), "--list"});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    EXPECT_NE(listed.out.find("\ntotal "), std::string::npos) << listed.out;
}

}  // namespace
}  // namespace tarkeep::test
