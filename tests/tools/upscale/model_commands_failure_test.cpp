// Damaged models and textures fail alone in the model commands, and a name the UI build
// keeps is left to it.
#include <gtest/gtest.h>

#include "data/game_archives.h"
#include "io/zip_writer.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;

TEST(ModelCommandsOnDamage, ADamagedModelIsSkippedATruncatedTextureFailsAloneAUiRecordIsLeftAlone) {
    TempDir dir;
    const fs::path game = dir / "game", cache = dir / "cache";
    fs::copy(test::sample_game(), game, fs::copy_options::recursive);
    std::vector<std::uint8_t> shield = data::GameArchives(game).read("unit_shield.texcache");
    shield.resize(shield.size() / 2);
    io::ZipWriter extra;
    extra.add_stored("Art/broken.nifcache", std::vector<std::uint8_t>{'n', 'o', 't'});
    extra.add_stored("Art/unit_shield.texcache", shield);
    extra.write(game / "zips" / "zz_extra.zip");
    const auto tool = [&](const std::string& options) {
        return run_upscale(words({game.string(), cache.string()}, options,
                                 {"--exe", ref_upscaler(), "--model", "nearest", "--pc-model", "nearest"}));
    };

    const auto unrelated = tool("--models-build --only unit_footman");
    EXPECT_EQ(unrelated.exit_code, 0) << unrelated.err;
    EXPECT_TRUE(contains(unrelated.err, "warning: broken.nifcache: "));
    for (const char* command : {"--models-build", "--models-estimate"}) {
        const auto run = tool(command);
        EXPECT_EQ(run.exit_code, 1) << command;
        EXPECT_EQ(lines_starting(run.err, "unit_shield: "), 1u) << command << "\n" << run.err;
    }
    EXPECT_TRUE(contains(tool("--models-build").out, "done: 0 upscaled, 1 failed"));

    ModelManifest manifest = read_model_manifest(cache / "manifest.txt");
    ASSERT_EQ(manifest.count("unit_footman"), 1u);
    manifest["unit_footman"].settings = std::string(kUiSettingsPrefix) + "sheet";
    write_model_manifest(cache / "manifest.txt", manifest);
    const auto kept = tool("--models-build --only unit_footman --force");
    EXPECT_EQ(kept.exit_code, 0);
    EXPECT_TRUE(contains(kept.err, "warning: unit_footman is kept by the UI build in this cache: not rebuilt here"));
    EXPECT_EQ(read_model_manifest(cache / "manifest.txt"), manifest);
}

}  // namespace
}  // namespace tarkeep::upscale
