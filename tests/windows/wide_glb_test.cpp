// The model export between folders whose names lie outside any ANSI code page: on Windows its
// game, cache and output paths must be decoded from UTF-8 like every other command's.
#include <gtest/gtest.h>

#include "io/file_bytes.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tools/sample_game/sample_game.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

TEST(WideGlbPaths, AModelIsExportedFromAndIntoNonAsciiFolders) {
    TempDir dir;
    const fs::path game = dir / platform::path_from_utf8("Morv \xC3\xA9\xE4\xB8\xAD"),  // "Morv é中"
        cache = dir / platform::path_from_utf8("cache \xD0\x96"),                       // "cache Ж"
        out = dir / platform::path_from_utf8("out \xCE\xBB") / platform::path_from_utf8("knight \xC3\xBC.glb");
    sample_game::write_sample_game(game, {sample_game::SampleSize::small, 3});
    platform::create_folders(cache);
    platform::create_folders(out.parent_path());
    const auto run = run_program(built_program("tools/upscale/tarkeep_upscale"),
                                 {platform::path_to_utf8(game), platform::path_to_utf8(cache), "knight",
                                  platform::path_to_utf8(out), "--models-glb"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::vector<std::uint8_t> glb = io::read_file(out);
    EXPECT_EQ(std::string(glb.begin(), glb.begin() + std::min<std::size_t>(glb.size(), 4)), "glTF");
}

}  // namespace
}  // namespace tarkeep::test
