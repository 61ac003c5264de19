// The HD lookup of the model export: texture file names, UI records of the same name, and
// names the archives do not hold.
#include <gtest/gtest.h>

#include "data/game_archives.h"
#include "image/png_files.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

TEST(ModelHdLookup, FindsStemsByFileNameAndIgnoresUiSheetsAndUnknownTextures) {
    const data::GameArchives archives(test::sample_game());
    const std::vector<std::uint8_t> texture = archives.read("unit_knight.texcache");
    const std::vector<std::uint8_t> mask = archives.contains("unit_knight_pc.texcache")
                                               ? archives.read("unit_knight_pc.texcache")
                                               : std::vector<std::uint8_t>();
    test::TempDir cache;
    image::write_png_file(cache / "unit_knight.png", {4, 2, std::vector<std::uint8_t>(32, 90)}, false);
    image::write_png_file(cache / "missing.png", {4, 2, std::vector<std::uint8_t>(32, 90)}, false);
    const auto lookup_with = [&](const std::string& settings) {
        write_model_manifest(cache / "manifest.txt",
                             {{"unit_knight", {model_source_hash(texture, mask), "m", settings, 4, 2, 2}},
                              {"missing", {"0123456789abcdef", "m", settings, 4, 2, 2}}});
        return ModelHdLookup(archives, cache.path());
    };
    const ModelHdLookup models = lookup_with("model-1");
    for (const char* name : {"unit_knight", "Unit_Knight.texcache"}) {
        const auto hd = models.get(name, 0, 0);
        ASSERT_TRUE(hd) << name;
        EXPECT_EQ(hd->image.width, 4u) << name;
    }
    EXPECT_FALSE(models.get("missing", 0, 0));  // a manifest record without its game texture
    EXPECT_FALSE(lookup_with(std::string(kUiSettingsPrefix) + "1").get("unit_knight", 0, 0));
}

}  // namespace
}  // namespace tarkeep::upscale
