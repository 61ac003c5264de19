// The export's game-texture fallback: uncompressed textures, and one decoding per texture
// when the HD run finds no HD version.
#include <gtest/gtest.h>

#include <algorithm>

#include "data/gltf/model_export.h"
#include "data/texture/dxt.h"
#include "data/texture/texcache_writer.h"
#include "tests/support/temp_dir.h"
#include "tools/sample_game/sample_game.h"

namespace tarkeep::test {
namespace {

// The sample game's files with unit_knight's texture swapped for a 2 x 1 RGBA one, and
// every texture read counted.
struct CountedFiles {
    data::GameFiles files;
    std::size_t texture_reads = 0;
};

TEST(ModelExportFallback, UncompressedTexturesExportAndTexturesWithoutHdAreDecodedOnce) {
    TempDir game;
    sample_game::write_sample_game(game.path(), {});
    const data::GameArchives archives{game.path()};
    const std::vector<std::uint8_t> pixels = {10, 20, 30, 40, 50, 60, 70, 255};
    const auto rgba = data::write_texcache(
        {data::format_rgba, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 0, -1, 4, {{2, 1, 0}}, 8, pixels});
    CountedFiles counted;
    counted.files.contains = [&](std::string_view name) { return archives.contains(name); };
    counted.files.read = [&](std::string_view name) {
        if (name.ends_with(".texcache")) ++counted.texture_reads;
        return name == "unit_knight.texcache" ? rgba : archives.read(name);
    };

    data::GltfTextureCache cache;
    const auto original = data::export_model(counted.files, "knight", {}, {}, cache);
    const auto knight = cache.image("unit_knight|A|");
    ASSERT_NE(knight, nullptr);
    EXPECT_TRUE(knight->transparent);  // the alpha of 40 survives the decoding
    EXPECT_EQ(data::png_size(knight->png), (std::pair<std::uint32_t, std::uint32_t>{2, 1}));
    const std::size_t reads_of_first_run = counted.texture_reads;
    EXPECT_GT(reads_of_first_run, 0u);

    data::ModelExportOptions hd;
    hd.hd_key = "hd1024";
    hd.hd_lookup = [](const std::string&, char) { return std::optional<data::GltfTextureImage>(); };
    const auto second = data::export_model(counted.files, "knight", {}, hd, cache);
    EXPECT_EQ(counted.texture_reads, reads_of_first_run);
    EXPECT_EQ(second.glb, original.glb);
    EXPECT_EQ(cache.image("unit_knight|A|hd1024"), knight);
}

}  // namespace
}  // namespace tarkeep::test
