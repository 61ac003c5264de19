// Bad option values, names that cannot be files, and damaged caches in the model commands.
#include <gtest/gtest.h>

#include "data/texture/pcpatch_writer.h"
#include "data/texture/texcache_writer.h"
#include "io/zip_writer.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;

TEST(CheckedOptions, RefuseNonFiniteRealsAndSizesThatAreNegativeOrAbove32Bits) {
    const std::tuple<const char*, const char*, double> reals[] = {
        {"--bp-strength", "0.5x", 0.5}, {"--bp-strength", "nan", -1}, {"--tile-detect", "inf", -1},
        {"--tile-detect", "-0.1", -1},  {"--tile-detect", "10", 10},  {"--tile-detect", "10.01", -1}};
    for (const auto& [name, text, value] : reals) {
        const auto read = real_option(parse_args(3, {"tool", name, text}), name, "1", 0.0, 10.0);
        EXPECT_EQ(read.value_or(-1), value) << text;
    }
    const std::pair<const char*, std::int64_t> sizes[] = {{"4294967295", 4294967295},
                                                          {" 7 ", 7},
                                                          {"0", 0},
                                                          {"4294967296", -1},
                                                          {"-1", -1},
                                                          {"12x", -1},
                                                          {"", -1},
                                                          {"+3", -1},
                                                          {"18446744073709551617", -1}};
    for (const auto& [text, value] : sizes) {
        const auto read = size_option(parse_args(3, {"tool", "--max-size", text}), "--max-size", "1");
        EXPECT_EQ(read ? std::int64_t{*read} : -1, value) << text;
    }
}

TEST(StemNames, ThoseThatWouldLeaveTheirFolderAreRefusedAndManifestsEscapeBlanks) {
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:x", "a\tb"}) EXPECT_NE(stem_problem(bad), "") << bad;
    EXPECT_EQ(only_stems({"Unit_Cape", "../x", "a..b"}), (std::vector<std::string>{"unit_cape", "a..b"}));

    TempDir dir;
    const ModelManifest model = {{"a b%20\x01", {"0123456789abcdef", "onnx:my model", "s 1", 2, 4, 2}},
                                 {"plain", {"h", "m", "s", 1, 1, 1}}};
    write_model_manifest(dir / "m.txt", model);
    EXPECT_TRUE(contains(read_text(dir / "m.txt"), "\na%20b%2520%01 0123456789abcdef onnx:my%20model s%201 2 4 2\n"));
    EXPECT_EQ(read_model_manifest(dir / "m.txt"), model);
    const TerrainManifest terrain = {{"t 0", {"h", "m", "x y", 1, 1}}};
    save_terrain_manifest(dir / "t.txt", terrain);
    EXPECT_EQ(load_terrain_manifest(dir / "t.txt"), terrain);
    touch(dir / "m.txt", "tarkeep-model-hd 1\nold%zz% h m s 1 1 1\n");  // not an escape: read as written
    EXPECT_EQ(read_model_manifest(dir / "m.txt").count("old%zz%"), 1u);
}

// A copy of the sample game with a colour-D patch of unit_footman that changes nothing, and the
// cache of that one texture.
class ModelToolsOnDamage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::copy(test::sample_game(), game(), fs::copy_options::recursive);
        io::ZipWriter extra;
        extra.add_stored("Art/Colours/unit_footmanD.pcpatch", data::write_pcpatch({}, {}));
        extra.add_stored("Art/empty.texcache", data::write_texcache(data::texcache_fields(4, {{0, 0, {}}})));
        extra.write(game() / "zips" / "zz_extra.zip");
        const auto built = tool("--models-build --exe " + ref_upscaler() +
                                " --model nearest --alpha-model nearest --pc-model nearest --only unit_footman");
        ASSERT_EQ(built.exit_code, 0) << built.err;
    }
    static const fs::path& game() {
        static const TempDir dir;
        return dir.path();
    }
    static fs::path cache() { return game() / "cache"; }
    // The game, the cache unless `game_only`, then the options.
    static ProgramResult tool(const std::string& options, bool game_only = false) {
        std::vector<std::string> front = {game().string(), cache().string()};
        if (game_only) front.pop_back();
        return run_upscale(words(front, options));
    }
};

TEST_F(ModelToolsOnDamage, ANoOpPatchIsNoPlayerColourAndAMissingMaskFallsBackToTheGameTexture) {
    const std::string get = " --model-get unit_footman";
    EXPECT_TRUE(contains(tool("D " + (game() / "d.png").string() + get).out, " patched 0, "));
    const std::string fit = tool("--models-fit --only UNIT_FOOTMAN --verbose", true).out;
    EXPECT_TRUE(contains(fit, "\nunit_footman D invalid samples ") &&
                contains(fit, "colour D: 0 textures, fit error mean 0.00 max 0.00 levels, 1 invalid"));

    fs::remove(cache() / "unit_footman_pc.png");
    const auto blue = tool("B " + (game() / "b.png").string() + get);
    EXPECT_EQ(std::tuple(blue.exit_code, blue.out), std::tuple(1, "no HD texture for unit_footman\n")) << blue.err;
    EXPECT_EQ(tool("--models-estimate --colour B").exit_code, 0);

    // Refused before any work: bad sizes, names that are no files, a factor past 32-bit sides.
    const std::string orig = "--model-orig " + (game() / "orig").string() + " --only ";
    const std::tuple<std::string, int, const char*> refused[] = {
        {"--models-estimate --max-size -1", 2, "error: bad value for --max-size: -1\n"},
        {"--models-glb knight x.glb --max-size 4294967297", 2, "error: bad value for --max-size: 4294967297\n"},
        {"0 x.png --model-get ..\\x", 2, "warning: texture name \"..\\x\" holds a path separator: skipped\n"},
        {orig + "unit_cape --bilinear 67108865", 1, "error: --bilinear 67108865 makes unit_cape 4294967360x"},
        {orig + "empty --bilinear 2", 0, "warning: empty is 0x0: not written\n"}};
    for (const auto& [options, status, error] : refused) {
        const auto run = tool(options, options.starts_with("--model-orig"));
        EXPECT_TRUE(run.exit_code == status && run.err.starts_with(error)) << options << "\n" << run.err;
    }
}

}  // namespace
}  // namespace tarkeep::upscale
