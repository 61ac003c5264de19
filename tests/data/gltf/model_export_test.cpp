// export_model over the sample game: the texture cache both runs share, the HD lookup, every
// model through the validator, and the fallback to the game's own (also uncompressed) textures.
#include "data/gltf/model_export.h"

#include <algorithm>

#include "data/game_db.h"
#include "data/texture/dxt.h"
#include "data/texture/texcache_writer.h"
#include "data/unit_models.h"
#include "tests/data/gltf/gltf_test_util.h"
#include "tools/sample_game/sample_game.h"

namespace tarkeep::test {
namespace {

// The sides of the embedded images, in order.
std::vector<std::uint32_t> image_sides(const std::vector<std::uint8_t>& glb) {
    std::vector<std::uint32_t> sides;
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    for (auto it = glb.begin(); (it = std::search(it, glb.end(), kSignature, kSignature + 8)) != glb.end(); ++it)
        sides.push_back(data::png_size(std::vector<std::uint8_t>(it, it + 24)).first);
    return sides;
}

// HD lookups that give unit_knight 16 x 16 pixels (`bytes_off` bytes short), counted in `calls`.
data::ModelExportOptions hd_options(std::size_t bytes_off, std::size_t& calls) {
    data::ModelExportOptions options;
    options.hd_key = "hd1024";
    options.hd_lookup = [bytes_off, &calls](const std::string& name, char) -> std::optional<data::GltfTextureImage> {
        ++calls;
        if (name != "unit_knight") return std::nullopt;
        return data::GltfTextureImage{16, 16, std::vector<std::uint8_t>(16 * 16 * 4 - bytes_off, 200), false};
    };
    return options;
}

TEST(ModelExport, TheHdRunEmbedsHdImagesFromTheSharedCacheAndEveryModelIsValid) {
    TempDir game;
    sample_game::write_sample_game(game.path(), {});
    data::GameArchives archives{game.path()};
    data::GltfTextureCache textures;
    const auto run = [&](const std::string& model, const data::ModelExportOptions& options,
                         std::vector<std::string> kfs = {}) {
        return data::export_model(archives, model, kfs, options, textures);
    };
    const auto original = run("knight", {});
    EXPECT_EQ(image_sides(original.glb), (std::vector<std::uint32_t>{128, 64, 32}));
    EXPECT_FALSE(textures.image("unit_knight|A|")->transparent);
    std::size_t calls = 0;
    const auto hd = run("knight.nifcache", hd_options(0, calls));
    EXPECT_EQ(image_sides(hd.glb), (std::vector<std::uint32_t>{16, 64, 32}));
    EXPECT_EQ(run("knight", hd_options(0, calls)).glb, hd.glb);  // the second time from the cache
    EXPECT_EQ(calls, 3u);
    textures = data::GltfTextureCache();  // an unusable HD image (a pixel short): the game's own texture
    EXPECT_EQ(run("knight", hd_options(4, calls)).glb, original.glb);
    EXPECT_EQ(error_text([&] { run("knight", {}, {"run.kf"}); }), "file not found in game archives: run.kf");

    // Every model with its animations passes the validator.
    std::map<std::string, std::vector<std::uint8_t>> files;
    data::ModelExportOptions options;
    options.scale_channels = true;
    for (const data::ModelJob& job : data::list_model_jobs(data::GameDb(game / "zips" / "db.zip"), archives))
        files[job.model] = run(job.model, options, job.kf_files).glb;
    EXPECT_TRUE(textures.image("unit_archer|A|")->transparent);
    EXPECT_EQ(files.size(), 6u);
    expect_valid(files);
}

// The fallback decodes each texture without an HD version once, whichever run asks first.
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
