// --models-glb over the sample game: the command's report and its output file, written only
// when both runs succeeded.
#include <algorithm>

#include "data/game_archives.h"
#include "data/gltf/gltf_convert.h"
#include "image/png_files.h"
#include "io/zip_writer.h"
#include "platform/file_bytes.h"
#include "tests/data/gltf/gltf_test_util.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/sample_game/sample_game.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::test {
namespace {

// The report with its sizes and times ("0.28 MB 241 ms") replaced by "#".
std::string without_figures(std::string text) {
    // Whole milliseconds made decimal, so that masked() turns them into "#" too.
    for (std::size_t at = 0; (at = text.find(" ms", at)) != std::string::npos; at += 5) text.insert(at, ".0");
    return masked(text);
}

// The side of the first embedded image.
std::uint32_t first_image_side(const std::vector<std::uint8_t>& glb) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    const auto it = std::search(glb.begin(), glb.end(), kSignature, kSignature + 8);
    if (glb.end() - it < 24) return 0;
    return data::png_size(std::vector<std::uint8_t>(it, it + 24)).first;
}

TEST(ModelsGlb, ReportsBothRunsAndWritesTheHdFileOnlyWhenBothSucceeded) {
    TempDir game, cache, out;
    sample_game::write_sample_game(game.path(), {});
    const data::GameArchives archives{game.path()};
    const auto texture = archives.read("unit_knight.texcache"), mask = archives.read("unit_knight_pc.texcache");
    upscale::write_model_manifest(
        cache / "manifest.txt", {{"unit_knight", {upscale::model_source_hash(texture, mask), "m", "s", 256, 256, 2}}});
    const image::RgbaImage white{256, 256, std::vector<std::uint8_t>(256 * 256 * 4, 255)};
    for (const char* name : {"unit_knight.png", "unit_knight_pc.png"}) image::write_png_file(cache / name, white, true);
    // Only the body texture has an HD version; without its mask, none has.
    const std::string kTwoOfThree = "warning: knight: 2 textures have no HD version in ";
    const std::string kAll = "warning: knight: 3 textures have no HD version in ";
    const std::string report = " 3 images # MB # ms, HD 3 images # MB # ms, player colour ";
    const struct {
        std::string words, out, errors;  // the report without its numbers; how the error output starts
    } cases[] = {
        {"knight --max-size 128", "knight colour A: original" + report + "1/1\n", kTwoOfThree},  // an HD side of 128
        {"Models/Units/knight.NifCache --colour L --anims", "knight colour L: original" + report + "0/0\n",
         kTwoOfThree},
        {"knight --anims", "knight colour A: original" + report + "1/1\n", kAll},  // the mask removed: the game's own
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
        const auto glb = platform::read_file(out / "model.glb");
        std::filesystem::remove(out / "model.glb");
        EXPECT_EQ(first_image_side(glb), c.words.ends_with("128") || c.words == "knight --anims" ? 128u : 256u);
        EXPECT_EQ(std::string(glb.begin(), glb.end()).find("\"animations\"") != std::string::npos,
                  c.words.ends_with("--anims"));
    }
}

// The knight as a skinned quad with one vertex of no influence and, under the animated Bip01, a
// LOD node of three levels: two hidden, and with --anims all three bound to Bip01.
TEST(ModelsGlb, WarnsOfEachCountedLossWhenNotZero) {
    TempDir game, out;
    sample_game::write_sample_game(game.path(), {});
    NifFile knight = skinned_model();
    data::NiLODNode lod;
    data::NiRangeLODData ranges;
    ranges.ranges = {{0, 10}, {10, 50}, {50, 1000}};
    lod.lod_data = add_nif_block(knight, "NiRangeLODData", ranges);
    for (const char* level : {"Near", "Middle", "Far"}) lod.children.push_back(add_nif_quad(knight, {level, {}}));
    add_nif_child(knight, 1, add_nif_block(knight, "NiLODNode", lod));
    io::ZipWriter zip;
    zip.add_stored("knight.nifcache", write_nif(knight));
    zip.write(game / "zips" / "zz_knight.zip");
    for (const char* option : {"--models-glb", "--anims"}) {
        const auto r = run_upscale(
            {game.path().string(), out.path().string(), "knight", (out / "k.glb").string(), "--models-glb", option});
        EXPECT_EQ(r.err, "warning: " + out.path().string() +
                             " holds no model texture manifest: no HD textures, the game's own are used\n"
                             "warning: knight: 1 vertices without any bone influence\nwarning: knight: 2 hidden LOD "
                             "levels not exported\n" +
                             std::string(option[2] == 'a' ? "warning: knight: 3 rigid parts bound to a joint\n" : ""));
    }
}

}  // namespace
}  // namespace tarkeep::test
