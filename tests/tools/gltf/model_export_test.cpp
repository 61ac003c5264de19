// export_model over game archives: texture provider, HD lookup, patches, animations, and
// the sample game's models through the glTF validator.
#include "tools/upscale/model_export.h"
#include "data/game_db.h"
#include "data/texture/dxt.h"
#include "data/unit_models.h"
#include "tests/data/gltf/gltf_test_util.h"
#include "tests/support/pcpatch_writer.h"
#include "tests/support/sample_game.h"
#include "tests/support/temp_dir.h"
#include "tests/support/texcache_writer.h"
#include "tests/support/zip_writer.h"

namespace tarkeep::test {
namespace {

using upscale::GltfTextureCache;
using upscale::ModelExportOptions;
using Sizes = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

TexcacheFields grey_texture(std::uint8_t red) {
    std::vector<std::uint8_t> pixels(8 * 8 * 4, 128);
    for (std::size_t i = 0; i < pixels.size(); i += 4) pixels[i] = red;
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    return texcache_fields(data::format_dxt1, dxt_levels(pixels, 8, 8, data::format_dxt1, true));
}

// "knight": Bip01 > Sword and Body, both textured "Knight" (8 x 8, with a blue patch B);
// "caped": a texture without mip levels; "walk.kf" animates Bip01.
class GameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        NifFile knight = make_nif_file();
        add_node(knight, "Scene Root");
        add_child(knight, 0, add_node(knight, "Bip01"));
        add_child(knight, 1, add_quad(knight, "Sword", {add_texturing(knight, "Knight")}));
        add_child(knight, 0, add_quad(knight, "Body", {add_texturing(knight, "Knight")}));
        knight.roots = {0};
        NifFile caped = make_nif_file();
        add_node(caped, "Root");
        add_child(caped, 0, add_quad(caped, "Cape", {add_texturing(caped, "cape")}));
        caped.roots = {0};
        TexcacheFields no_mips = grey_texture(128);
        no_mips.mipmaps.clear();
        ZipWriter zip;
        zip.add_stored("Models/Units/knight.nifcache", write_nif(knight));
        zip.add_stored("Models/Units/caped.nifcache", write_nif(caped));
        zip.add_stored("Art/Units/knight.texcache", write_texcache(grey_texture(128)));
        zip.add_stored("Art/Units/Colours/knightB.pcpatch", diff_pcpatch(grey_texture(128), grey_texture(0)));
        zip.add_stored("Art/Units/cape.texcache", write_texcache(no_mips));
        zip.add_stored("Models/Anims/walk.kf", write_nif(sequence_file("Walk", keys_on(walk_keys(1)))));
        std::filesystem::create_directories(dir_ / "zips");
        zip.write(dir_ / "zips" / "art.zip");
        archives_ = std::make_unique<data::GameArchives>(dir_.path());
    }

    static Sizes image_sizes(const std::vector<std::uint8_t>& glb) {
        Sizes sizes;
        static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
        for (auto it = glb.begin(); (it = std::search(it, glb.end(), kSignature, kSignature + 8)) != glb.end(); ++it) {
            const image::RgbaImage image = image::decode_png({&*it, static_cast<std::size_t>(glb.end() - it)});
            sizes.emplace_back(image.width, image.height);
        }
        return sizes;
    }

    upscale::ModelExportResult run(const std::string& model, const ModelExportOptions& options,
                                   std::vector<std::string> kfs = {}) {
        return upscale::export_model(*archives_, model, kfs, options, cache_);
    }

    TempDir dir_;
    std::unique_ptr<data::GameArchives> archives_;
    GltfTextureCache cache_;
};

ModelExportOptions hd_options(std::size_t bytes_off, std::size_t& calls) {
    ModelExportOptions options;
    options.hd_key = "hd1024";
    options.hd_lookup = [bytes_off, &calls](const std::string& name, char) -> std::optional<upscale::GltfTextureImage> {
        ++calls;
        if (name != "Knight") return std::nullopt;
        return upscale::GltfTextureImage{32, 32, std::vector<std::uint8_t>(32 * 32 * 4 - bytes_off, 200), false};
    };
    return options;
}

TEST_F(GameFixture, TheHdRunEmbedsHdImagesFromTheSharedCache) {
    const auto original = run("knight", {});
    EXPECT_EQ(original.images, 1u);  // two materials share the texture
    EXPECT_EQ(image_sizes(original.glb), (Sizes{{8, 8}}));
    std::size_t calls = 0;
    const auto hd = run("Knight.nifcache", hd_options(0, calls));
    EXPECT_EQ(image_sizes(hd.glb), (Sizes{{32, 32}}));
    EXPECT_EQ(run("knight", hd_options(0, calls)).glb, hd.glb);  // the second time from the cache
    EXPECT_EQ(calls, 1u);
    for (const std::size_t bytes_off : {4u, 1u}) {  // unusable HD images: the game's own texture
        GltfTextureCache fresh;
        cache_ = fresh;
        EXPECT_EQ(run("knight", hd_options(bytes_off, calls)).glb, original.glb);
    }
}

TEST_F(GameFixture, PlayerColourPatchesAreAppliedWhereTheGameHasThem) {
    for (const char colour : {'A', 'B'}) {
        ModelExportOptions options;
        options.colour = colour;
        EXPECT_EQ(run("knight", options).player_colour, colour == 'B');
        const auto image = cache_.image(std::string("knight|") + colour + "|");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image::decode_png(image->png).pixels[0] < 64, colour == 'B');
        EXPECT_FALSE(image->transparent);
    }
}

TEST_F(GameFixture, AnimationsAndFailures) {
    ModelExportOptions options;
    options.scale_channels = true;
    const auto animated = run("knight", options, {"walk.kf"});
    EXPECT_EQ(animated.stats.rigid_bound, 1u);  // the sword hangs under the animated Bip01
    const struct {
        std::string model, kf, error;
    } cases[] = {
        {"caped", "", "texture without mip levels: cape"},
        {"knight", "run.kf", "file not found in game archives: run.kf"},
        {"ghost", "", "file not found in game archives: ghost.nifcache"},
        {"knight", "knight.texcache", "unexpected block type for controller sequence: NiPixelData"},
    };
    for (const auto& c : cases) {
        const auto kfs = c.kf.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.kf};
        EXPECT_EQ(error_of([&] { run(c.model, options, kfs); }), c.error);
    }
    write_file(dir_ / "knight.glb", animated.glb);
    const auto report = run_gltf_validator({dir_ / "knight.glb"});
    if (!report) GTEST_SKIP() << "node or the gltf-validator package is missing";
    EXPECT_EQ(report->exit_code, 0) << report->out;
}

TEST(SampleGameExport, EveryModelWithItsAnimationsPassesTheValidator) {
    TempDir game, out;
    write_sample_game(game.path(), {});
    const data::GameArchives archives(game.path());
    std::vector<std::filesystem::path> files;
    GltfTextureCache cache;
    ModelExportOptions options;
    options.scale_channels = true;
    for (const data::ModelJob& job : data::list_model_jobs(data::GameDb(game / "zips" / "db.zip"), archives)) {
        const auto result = upscale::export_model(archives, job.model, job.kf_files, options, cache);
        EXPECT_GT(result.images, 0u) << job.model;
        files.push_back(out / (job.model + ".glb"));
        write_file(files.back(), result.glb);
    }
    ASSERT_FALSE(files.empty());
    const auto report = run_gltf_validator(files);
    if (!report) GTEST_SKIP() << "node or the gltf-validator package is missing";
    EXPECT_EQ(report->exit_code, 0) << report->out;
    std::printf("%s", report->out.c_str());
}

}  // namespace
}  // namespace tarkeep::test
