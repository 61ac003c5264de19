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

TEST(ModelExportFallback, UncompressedTexturesExportAndTexturesWithoutHdAreDecodedOnce) {
    TempDir game;
    sample_game::write_sample_game(game.path(), {});
    const data::GameArchives archives{game.path()};
    const std::vector<std::uint8_t> pixels = {10, 20, 30, 40, 50, 60, 70, 255};
    const auto rgba = data::write_texcache(
        {data::format_rgba, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 0, -1, 4, {{2, 1, 0}}, 8, pixels});
    std::size_t texture_reads = 0;  // the game's files, unit_knight's texture swapped for a 2 x 1 RGBA one
    const data::GameFiles files{[&](std::string_view name) { return archives.contains(name); },
                                [&](std::string_view name) {
                                    texture_reads += name.ends_with(".texcache");
                                    return name == "unit_knight.texcache" ? rgba : archives.read(name);
                                }};

    data::GltfTextureCache cache;
    const auto original = data::export_model(files, "knight", {}, {}, cache);
    const auto knight = cache.image("unit_knight|A|");
    ASSERT_TRUE(knight && knight->transparent);  // the alpha of 40 survives the decoding
    EXPECT_EQ(data::png_size(knight->png), (std::pair<std::uint32_t, std::uint32_t>{2, 1}));
    const std::size_t reads_of_first_run = texture_reads;

    data::ModelExportOptions hd;
    hd.hd_key = "hd1024";
    hd.hd_lookup = [](const std::string&, char) { return std::optional<data::GltfTextureImage>(); };
    const auto second = data::export_model(files, "knight", {}, hd, cache);
    EXPECT_EQ(texture_reads, reads_of_first_run);
    EXPECT_EQ(second.glb, original.glb);
    EXPECT_EQ(cache.image("unit_knight|A|hd1024"), knight);
}

}  // namespace
}  // namespace tarkeep::test
