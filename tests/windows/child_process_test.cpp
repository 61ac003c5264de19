// The upscaler runner starting the real reference upscaler from a folder whose name has
// spaces and non-ASCII letters: the quoted program path, the arguments and the captured
// standard error must all survive the trip through the system's process start-up.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "data/texture/png.h"
#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tools/upscale/file_io.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct RunnerFixture {
    TempDir dir;
    fs::path tools = dir / platform::path_from_utf8("Program Files \xC3\xA9");  // "Program Files é"
    fs::path in = dir / platform::path_from_utf8("in \xE4\xB8\xAD");              // "in 中"
    fs::path out = dir / "out put";
    fs::path log = dir / "upscaler log.txt";
    upscale::UpscalerConfig config;

    RunnerFixture() {
        const fs::path built = built_program("tools/ref_upscaler/tarkeep_ref_upscaler");
        fs::create_directories(tools / "models");
        config.exe = tools / built.filename();
        fs::copy_file(built, config.exe);
        for (const char* file : {"nearest.param", "nearest.bin"})
            fs::copy_file(built_file("tools/ref_upscaler/models") / file, tools / "models" / file);
        config.model_dirs = {tools / "models"};
        fs::create_directories(in);
        fs::create_directories(out);
    }
};

data::RgbaImage gradient(std::uint32_t width, std::uint32_t height) {
    data::RgbaImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 4)};
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<std::uint8_t>(i * 7);
    return image;
}

TEST(ChildProcess, UpscalerFromAFolderWithSpacesUpscalesEveryInput) {
    RunnerFixture f;
    const auto source = gradient(5, 3);
    upscale::write_png_file(f.in / "a.png", source, true);
    upscale::write_png_file(f.in / platform::path_from_utf8("b \xC3\xBC.png"), source, false);  // "b ü.png"

    EXPECT_EQ(upscale::run_upscaler(f.config, "nearest", f.in, f.out, "32", f.log), "");
    for (const char* name : {"a.png", "b \xC3\xBC.png"}) {
        const auto image = upscale::read_png_file(f.out / platform::path_from_utf8(name));
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

    const std::string error = upscale::run_upscaler(f.config, "nearest", f.in, f.out, "32", f.log);
    const std::string line = upscale::build_command(f.config, "nearest", f.in, f.out, "32");
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

}  // namespace
}  // namespace tarkeep::test
