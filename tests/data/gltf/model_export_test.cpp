// export_model over the sample game: the texture cache both runs share, the HD lookup, and
// every model through the validator.
#include "data/gltf/model_export.h"

#include <algorithm>

#include "data/game_db.h"
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

}  // namespace
}  // namespace tarkeep::test
