// What Windows does differently from Wine's defaults, where Wine can show it: replacing a
// file that another program holds open, the long-path manifest in every program, and a
// cache folder nested past 300 characters. On POSIX the held-file cases do not apply.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "platform/cmdline.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/terrain_game.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A target with "old" and its replacement "<target>.tmp" with "new".
struct HeldTarget {
    TempDir dir;
    fs::path target = dir / "a.png";
    fs::path temporary = dir / "a.png.tmp";
    HeldTarget() {
        std::ofstream(target, std::ios::binary) << "old";
        std::ofstream(temporary, std::ios::binary) << "new";
    }
};

TEST(ReplaceFile, HeldTargetFailsWithTheSystemsMessageAndStaysIntact) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "POSIX renames over an open file";
    HeldTarget f;
    std::ifstream holder(f.target, std::ios::binary);  // shares reading and writing, not deletion
    try {
        platform::replace_file(f.temporary, f.target);
        FAIL() << "replaced a file held open without delete sharing";
    } catch (const fs::filesystem_error& error) {
        const int code = error.code().value();
        EXPECT_TRUE(code == 5 || code == 32) << code;  // access denied or sharing violation
        EXPECT_NE(std::string(error.what()).find(platform::system_message(code)), std::string::npos) << error.what();
    }
    holder.close();
    EXPECT_EQ(read_text(f.target), "old");
    EXPECT_EQ(read_text(f.temporary), "new");
}

TEST(ReplaceFile, TargetReleasedWhileRetryingIsReplaced) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "POSIX renames over an open file";
    HeldTarget f;
    auto holder = std::make_unique<std::ifstream>(f.target, std::ios::binary);
    // Released well inside the retries' second or so, as a scanner lets go.
    std::thread release([&] {
        platform::sleep_milliseconds(60);
        holder.reset();
    });
    EXPECT_NO_THROW(platform::replace_file(f.temporary, f.target));
    release.join();
    EXPECT_EQ(read_text(f.target), "new");
    EXPECT_FALSE(fs::exists(f.temporary));
}

TEST(LongPaths, EveryProgramCarriesTheLongPathAwareManifest) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "application manifests are Windows resources";
    for (const fs::path& program : {platform::executable_path(), built_program("server/tarkeep_server"),
                                    built_program("tools/upscale/tarkeep_upscale")}) {
        const std::string bytes = read_text(program);
        EXPECT_NE(bytes.find("<longPathAware"), std::string::npos) << program;
        EXPECT_NE(bytes.find("level=\"asInvoker\""), std::string::npos) << program;
    }
}

TEST(LongPaths, TerrainRunFillsACacheNestedPastThreeHundredCharacters) {
    TempDir dir;
    const TerrainGame game = write_terrain_game(dir / "game", 2, 16);
    fs::path cache = dir.path();
    for (char c = 'a'; cache.native().size() <= 300; ++c) cache /= std::string(40, c);
    const fs::path upscaler_folder = dir / "up";
    const fs::path built = built_program("tools/ref_upscaler/tarkeep_ref_upscaler");
    fs::create_directories(upscaler_folder / "models");
    fs::copy_file(built, upscaler_folder / built.filename());
    for (const char* file : {"nearest.param", "nearest.bin"})
        fs::copy_file(built_file("tools/ref_upscaler/models") / file, upscaler_folder / "models" / file);

    const auto result = run_program(
        built_program("tools/upscale/tarkeep_upscale"),
        {platform::path_to_utf8(dir / "game"), platform::path_to_utf8(cache), "--exe",
         platform::path_to_utf8(upscaler_folder / built.filename()), "--model", "nearest", "--margin", "4"});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    for (const auto& stem : game.stems) EXPECT_TRUE(fs::is_regular_file(cache / (stem + ".png"))) << stem;
    EXPECT_NE(read_text(cache / "manifest.txt").find(game.stems.front()), std::string::npos);
}

}  // namespace
}  // namespace tarkeep::test
