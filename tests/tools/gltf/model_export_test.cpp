// export_model and --models-glb over the sample game: the texture cache both runs share, the
// HD lookup, the command's report and output file, and every model through the validator.
#include "tools/upscale/model_export.h"

#include <algorithm>

#include "data/game_db.h"
#include "data/unit_models.h"
#include "image/image_files.h"
#include "tests/data/gltf/gltf_test_util.h"
#include "tools/sample_game/sample_game.h"
#include "tools/upscale/model_manifest.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::test {
namespace {

// The report with its sizes and times ("0.28 MB 241 ms") replaced by "#".
std::string without_figures(std::string text) {
    // Whole milliseconds made decimal, so that masked() turns them into "#" too.
    for (std::size_t at = 0; (at = text.find(" ms", at)) != std::string::npos; at += 5) text.insert(at, ".0");
    return masked(text);
}

// The sides of the embedded images, in order.
std::vector<std::uint32_t> image_sides(const std::vector<std::uint8_t>& glb) {
    std::vector<std::uint32_t> sides;
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    for (auto it = glb.begin(); (it = std::search(it, glb.end(), kSignature, kSignature + 8)) != glb.end(); ++it)
        sides.push_back(data::png_size(std::vector<std::uint8_t>(it, it + 24)).first);
    return sides;
}

// HD lookups that give unit_knight 16 x 16 pixels (`bytes_off` bytes short), counted in `calls`.
upscale::ModelExportOptions hd_options(std::size_t bytes_off, std::size_t& calls) {
    upscale::ModelExportOptions options;
    options.hd_key = "hd1024";
    options.hd_lookup = [bytes_off, &calls](const std::string& name, char) -> std::optional<upscale::GltfTextureImage> {
        ++calls;
        if (name != "unit_knight") return std::nullopt;
        return upscale::GltfTextureImage{16, 16, std::vector<std::uint8_t>(16 * 16 * 4 - bytes_off, 200), false};
    };
    return options;
}

TEST(ModelExport, TheHdRunEmbedsHdImagesFromTheSharedCacheEveryModelIsValidAndTheCommandReportsBothRuns) {
    TempDir game;
    sample_game::write_sample_game(game.path(), {});
    data::GameArchives archives{game.path()};
    upscale::GltfTextureCache textures;
    const auto run = [&](const std::string& model, const upscale::ModelExportOptions& options,
                         std::vector<std::string> kfs = {}) {
        return upscale::export_model(archives, model, kfs, options, textures);
    };
    const auto original = run("knight", {});
    EXPECT_EQ(image_sides(original.glb), (std::vector<std::uint32_t>{128, 64, 32}));
    EXPECT_FALSE(textures.image("unit_knight|A|")->transparent);
    std::size_t calls = 0;
    const auto hd = run("knight.nifcache", hd_options(0, calls));
    EXPECT_EQ(image_sides(hd.glb), (std::vector<std::uint32_t>{16, 64, 32}));
    EXPECT_EQ(run("knight", hd_options(0, calls)).glb, hd.glb);  // the second time from the cache
    EXPECT_EQ(calls, 3u);
    textures = upscale::GltfTextureCache();  // an unusable HD image (a pixel short): the game's own texture
    EXPECT_EQ(run("knight", hd_options(4, calls)).glb, original.glb);
    EXPECT_EQ(error_text([&] { run("knight", {}, {"run.kf"}); }), "file not found in game archives: run.kf");

    // The command: one report line, and the HD run's file written only when both runs succeeded.
    TempDir cache, out;
    const auto texture = archives.read("unit_knight.texcache"), mask = archives.read("unit_knight_pc.texcache");
    upscale::write_model_manifest(
        cache / "manifest.txt", {{"unit_knight", {upscale::model_source_hash(texture, mask), "m", "s", 256, 256, 2}}});
    const image::RgbaImage white{256, 256, std::vector<std::uint8_t>(256 * 256 * 4, 255)};
    for (const char* name : {"unit_knight.png", "unit_knight_pc.png"}) image::write_png_file(cache / name, white, true);
    const std::string report = " 3 images # MB # ms, HD 3 images # MB # ms, player colour ";
    const struct {
        std::string words, out, errors;  // the report without its numbers; how the error output starts
    } cases[] = {
        {"knight --max-size 128", "knight colour A: original" + report + "1/1\n", ""},  // an HD side of 128
        {"knight --colour L --anims", "knight colour L: original" + report + "0/0\n", ""},
        {"knight --anims", "knight colour A: original" + report + "1/1\n", ""},  // the mask removed: the game's own
        {"", "", "usage: <Morv dir> <cache dir> <model variant> <out.glb> --models-glb"},
    };
    for (const auto& c : cases) {
        auto arguments = words({game.path().string(), cache.path().string()}, c.words, {"--models-glb"});
        if (arguments.size() > 3) arguments.insert(arguments.begin() + 3, (out / "model.glb").string());
        if (c.words == "knight --anims") std::filesystem::remove(cache / "unit_knight_pc.png");
        const ProgramResult r = run_upscale(arguments);
        EXPECT_EQ(r.exit_code, c.out.empty() ? (c.words.empty() ? 2 : 1) : 0);
        EXPECT_EQ(without_figures(r.out), c.out);
        EXPECT_EQ(r.err.substr(0, c.errors.size()) + (c.errors.empty() ? r.err : ""), c.errors);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), c.out.empty() ? 0 : 1);
        if (c.out.empty()) continue;
        const auto glb = io::read_file(out / "model.glb");
        std::filesystem::remove(out / "model.glb");
        EXPECT_EQ(image_sides(glb)[0], c.words.ends_with("128") || c.words == "knight --anims" ? 128u : 256u);
        EXPECT_EQ(std::string(glb.begin(), glb.end()).find("\"animations\"") != std::string::npos,
                  c.words.ends_with("--anims"));
    }

    // Every model with its animations passes the validator.
    std::map<std::string, std::vector<std::uint8_t>> files;
    upscale::ModelExportOptions options;
    options.scale_channels = true;
    for (const data::ModelJob& job : data::list_model_jobs(data::GameDb(game / "zips" / "db.zip"), archives))
        files[job.model] = run(job.model, options, job.kf_files).glb;
    EXPECT_TRUE(textures.image("unit_archer|A|")->transparent);
    EXPECT_EQ(files.size(), 6u);
    expect_valid(files);
}

}  // namespace
}  // namespace tarkeep::test
