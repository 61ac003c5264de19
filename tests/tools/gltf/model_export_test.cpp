// export_model over game archives: texture provider, HD lookup, patches, animations, and
// the sample game's models through the glTF validator.
#include "data/game_db.h"
#include "data/texture/dxt.h"
#include "data/texture/png.h"
#include "data/unit_models.h"
#include "tests/data/gltf/gltf_models.h"
#include "tests/support/dxt_encoder.h"
#include "tests/support/pcpatch_writer.h"
#include "tests/support/sample_game.h"
#include "tests/support/temp_dir.h"
#include "tests/support/texcache_writer.h"
#include "tests/support/zip_writer.h"
#include "tools/upscale/model_export.h"

namespace tarkeep::test {
namespace {

using upscale::GltfTextureCache;
using upscale::ModelExportOptions;

constexpr std::uint32_t kSide = 8;
constexpr std::uint32_t kDxt1 = data::format_dxt1;

std::vector<std::uint8_t> grey_pixels(std::uint8_t value, std::uint8_t alpha = 255) {
    std::vector<std::uint8_t> pixels(kSide * kSide * 4, value);
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = alpha;
    return pixels;
}

// One knight model with texture "Knight" (and its blue patch), and a walk animation.
class GameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        data::NifFile model = make_nif_file();
        add_node(model, "Scene Root");
        const auto bip = add_node(model, "Bip01");
        add_child(model, 0, bip);
        add_child(model, bip, add_quad(model, "Sword", {add_texturing(model, "Knight")}));
        add_child(model, 0, add_quad(model, "Body", {add_texturing(model, "Knight")}));
        model.roots = {0};
        const TexcacheFields base = texcache_fields(kDxt1, dxt_levels(grey_pixels(128), kSide, kSide, kDxt1, true));
        std::vector<std::uint8_t> blue = grey_pixels(128);
        for (std::size_t i = 0; i < blue.size(); i += 4) blue[i] = 0;
        const TexcacheFields coloured = texcache_fields(kDxt1, dxt_levels(blue, kSide, kSide, kDxt1, true));
        TexcacheFields no_mips = base;
        no_mips.mipmaps.clear();
        ZipWriter zip;
        zip.add_stored("Models/Units/knight.nifcache", write_nif(model));
        zip.add_stored("Art/Units/knight.texcache", write_texcache(base));
        zip.add_stored("Art/Units/Colours/knightB.pcpatch", diff_pcpatch(base, coloured));
        zip.add_stored("Models/Anims/walk.kf", write_nif(sequence_file("Walk", keys_on(walk_keys(1)))));
        data::NifFile broken = make_nif_file();
        add_node(broken, "Root");
        add_child(broken, 0, add_quad(broken, "Cape", {add_texturing(broken, "cape")}));
        broken.roots = {0};
        zip.add_stored("Models/Units/caped.nifcache", write_nif(broken));
        zip.add_stored("Art/Units/cape.texcache", write_texcache(no_mips));
        std::filesystem::create_directories(dir_ / "zips");
        zip.write(dir_ / "zips" / "art.zip");
        archives_ = std::make_unique<data::GameArchives>(dir_.path());
    }

    // The sizes of the images embedded in a .glb, in order.
    static std::vector<std::pair<std::uint32_t, std::uint32_t>> image_sizes(const std::vector<std::uint8_t>& glb) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
        static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
        for (auto it = glb.begin(); (it = std::search(it, glb.end(), kSignature, kSignature + 8)) != glb.end(); ++it) {
            const data::RgbaImage image = data::decode_png({&*it, static_cast<std::size_t>(glb.end() - it)});
            sizes.emplace_back(image.width, image.height);
        }
        return sizes;
    }

    TempDir dir_;
    std::unique_ptr<data::GameArchives> archives_;
};

upscale::HdLookup hd_of_side(std::uint32_t side, std::size_t& calls, std::size_t bytes_off = 0) {
    return [side, bytes_off, &calls](const std::string& name, char) -> std::optional<upscale::GltfTextureImage> {
        ++calls;
        if (name != "Knight") return std::nullopt;
        upscale::GltfTextureImage image{side, side, std::vector<std::uint8_t>(side * side * 4 - bytes_off, 200), false};
        return image;
    };
}

TEST_F(GameFixture, TheHdRunEmbedsHdImagesFromTheSharedCache) {
    GltfTextureCache cache;
    ModelExportOptions options;
    const auto original = upscale::export_model(*archives_, "knight", {}, options, cache);
    EXPECT_EQ(original.images, 1u);  // two materials share the texture
    EXPECT_EQ(image_sizes(original.glb), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{kSide, kSide}}));
    std::size_t calls = 0;
    options.hd_key = "hd1024";
    options.hd_lookup = hd_of_side(32, calls);
    const auto hd = upscale::export_model(*archives_, "Knight.nifcache", {}, options, cache);
    EXPECT_EQ(image_sizes(hd.glb), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{32, 32}}));
    EXPECT_EQ(calls, 1u);
    // A second HD run is served from the cache.
    const auto again = upscale::export_model(*archives_, "knight", {}, options, cache);
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(again.glb, hd.glb);
}

TEST_F(GameFixture, UnusableHdImagesFallBackToTheGameTexture) {
    for (const std::size_t bytes_off : {4u, 1u}) {
        GltfTextureCache cache;
        ModelExportOptions options;
        std::size_t calls = 0;
        options.hd_key = "hd1024";
        options.hd_lookup = hd_of_side(32, calls, bytes_off);
        const auto hd = upscale::export_model(*archives_, "knight", {}, options, cache);
        EXPECT_EQ(image_sizes(hd.glb), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{kSide, kSide}}));
        const auto original = upscale::export_model(*archives_, "knight", {}, ModelExportOptions{}, cache);
        EXPECT_EQ(original.glb, hd.glb);
        EXPECT_EQ(original.images, hd.images);
    }
}

TEST_F(GameFixture, PlayerColourPatchesAreAppliedWhereTheGameHasThem) {
    const struct {
        char colour;
        bool patched;
    } cases[] = {{'A', false}, {'B', true}};
    for (const auto& c : cases) {
        GltfTextureCache cache;
        ModelExportOptions options;
        options.colour = c.colour;
        const auto result = upscale::export_model(*archives_, "knight", {}, options, cache);
        EXPECT_EQ(result.player_colour, c.patched) << c.colour;
        const auto key = std::string("knight|") + c.colour + "|";
        ASSERT_NE(cache.image(key), nullptr) << key;
        const data::RgbaImage image = data::decode_png(cache.image(key)->png);
        EXPECT_EQ(image.pixels[0] < 64, c.patched) << int(image.pixels[0]);
        EXPECT_FALSE(cache.image(key)->transparent);
    }
}

TEST_F(GameFixture, AnimationsAndFailures) {
    GltfTextureCache cache;
    ModelExportOptions options;
    options.scale_channels = true;
    const auto animated = upscale::export_model(*archives_, "knight", {"walk.kf"}, options, cache);
    EXPECT_EQ(animated.stats.rigid_bound, 1u);  // the sword hangs under the animated Bip01
    const struct {
        std::string model;
        std::vector<std::string> kfs;
        std::string error;
    } cases[] = {
        {"caped", {}, "texture without mip levels: cape"},
        {"knight", {"run.kf"}, "file not found in game archives: run.kf"},
        {"ghost", {}, "file not found in game archives: ghost.nifcache"},
        {"knight", {"knight.texcache"}, "unexpected block type for controller sequence: NiPixelData"},
    };
    for (const auto& c : cases) {
        try {
            upscale::export_model(*archives_, c.model, c.kfs, options, cache);
            ADD_FAILURE() << "no error for " << c.model;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
    TempDir out;
    write_file(out / "knight.glb", animated.glb);
    const auto report = run_gltf_validator({out / "knight.glb"});
    if (!report) GTEST_SKIP() << "node or the gltf-validator package is missing";
    EXPECT_EQ(report->exit_code, 0) << report->out;
}

// Every model of the sample game, with its animations, is a valid glTF file.
TEST(SampleGameExport, EveryModelWithItsAnimationsPassesTheValidator) {
    TempDir game, out;
    write_sample_game(game.path(), {});
    const data::GameArchives archives(game.path());
    const data::GameDb db(game / "zips" / "db.zip");
    std::vector<std::filesystem::path> files;
    GltfTextureCache cache;
    ModelExportOptions options;
    options.scale_channels = true;
    for (const data::ModelJob& job : data::list_model_jobs(db, archives)) {
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
