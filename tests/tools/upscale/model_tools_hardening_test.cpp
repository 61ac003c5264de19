// Bad option values, names that cannot be files, and damaged caches in the model commands.
#include <gtest/gtest.h>

#include "data/texture/pcpatch_writer.h"
#include "io/zip_writer.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;

TEST(CheckedOptions, NamesThatCannotBeFilesAndNumbersThatCannotBeSettingsAreRefusedManifestsEscapeBlanks) {
    for (const auto& [text, value] :
         {std::pair{"0.5x", 0.5}, {"nan", -1.0}, {"inf", -1.0}, {"-0.1", -1.0}, {"10", 10.0}, {"10.01", -1.0}})
        EXPECT_EQ(real_option(parse_args(3, {"", "--bp-strength", text}), "--bp-strength", "1", 0, 10).value_or(-1),
                  value)
            << text;
    for (const auto& [text, value] : {std::pair{"4294967295", 4294967295LL},
                                      {" 7 ", 7LL},
                                      {"4294967296", -1LL},
                                      {"-1", -1LL},
                                      {"12x", -1LL},
                                      {"", -1LL},
                                      {"18446744073709551617", -1LL}}) {
        const auto read = size_option(parse_args(3, {"", "--max-size", text}), "--max-size", "1");
        EXPECT_EQ(read ? static_cast<long long>(*read) : -1LL, value) << text;
    }
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:x", "a\tb"}) EXPECT_NE(stem_problem(bad), "") << bad;
    EXPECT_EQ(only_stems({"Unit_Cape", "../x", "a..b"}), (std::vector<std::string>{"unit_cape", "a..b"}));

    TempDir dir;
    const ModelManifest model = {{"a b%20\x01", {"0123456789abcdef", "onnx:my model", "s 1", 2, 4, 2}}};
    write_model_manifest(dir / "m.txt", model);
    EXPECT_TRUE(contains(read_text(dir / "m.txt"), "\na%20b%2520%01 0123456789abcdef onnx:my%20model s%201 2 4 2\n"));
    EXPECT_EQ(read_model_manifest(dir / "m.txt"), model);
    save_terrain_manifest(dir / "t.txt", {{"t 0", {"h", "m", "x y", 1, 1}}});
    EXPECT_EQ(load_terrain_manifest(dir / "t.txt").at("t 0").settings, "x y");
    touch(dir / "m.txt", "tarkeep-model-hd 1\nold%zz% h m s 1 1 1\n");  // not an escape: read as written
    EXPECT_EQ(read_model_manifest(dir / "m.txt").count("old%zz%"), 1u);
}

// A copy of the sample game with a colour-D patch of unit_footman that changes nothing and an
// empty texture, and a cache of unit_footman.
TEST(ModelToolsOnDamage, ANoOpPatchIsNoPlayerColourAMissingMaskFallsBackAndBadValuesStopFirst) {
    TempDir dir;
    const fs::path game = dir / "game", cache = dir / "cache";
    fs::copy(test::sample_game(), game, fs::copy_options::recursive);
    io::ZipWriter extra;
    extra.add_stored("Art/Colours/unit_footmanD.pcpatch", data::write_pcpatch({}, {}));
    extra.add_stored("Art/empty.texcache", data::write_texcache(data::texcache_fields(4, {{0, 0, {}}})));
    extra.write(game / "zips" / "zz_extra.zip");
    const auto tool = [&](const std::string& options, bool with_cache = true) {
        return run_upscale(words(with_cache ? std::vector{game.string(), cache.string()} : std::vector{game.string()},
                                 options, {"--exe", ref_upscaler(), "--pc-model", "nearest"}));
    };
    ASSERT_EQ(tool("--models-build --model nearest --only unit_footman").exit_code, 0);
    const std::string get = " --model-get unit_footman", out = " " + (dir / "x.png").string();
    EXPECT_TRUE(contains(tool("D" + out + get).out, " patched 0, "));
    const std::string fit = tool("--models-fit --only UNIT_FOOTMAN --verbose", false).out;
    EXPECT_TRUE(contains(fit, "\nunit_footman D invalid samples ") &&
                contains(fit, "colour D: 0 textures, fit error mean 0.00 max 0.00 levels, 1 invalid"));
    fs::remove(cache / "unit_footman_pc.png");
    EXPECT_EQ(tool("B" + out + get).out, "no HD texture for unit_footman\n");
    EXPECT_EQ(tool("--models-estimate --colour B").exit_code, 0);

    const std::string orig = "--model-orig " + (dir / "orig").string() + " --only ";
    const std::tuple<std::string, int, const char*> runs[] = {
        {"--models-estimate --max-size -1", 2, "error: bad value for --max-size: -1\n"},
        {"--models-glb knight x.glb --max-size 4294967297", 2, "error: bad value for --max-size: 4294967297\n"},
        {"0" + out + " --model-get ..\\x", 2, "warning: texture name \"..\\x\" holds a path separator: skipped\n"},
        {orig + "unit_cape --bilinear 67108865", 1, "error: --bilinear 67108865 makes unit_cape 4294967360x"},
        {orig + "empty --bilinear 2", 0, "warning: empty is 0x0: not written\n"}};
    for (const auto& [options, status, error] : runs) {
        const auto run = tool(options, !options.starts_with("--model-orig"));
        EXPECT_TRUE(run.exit_code == status && run.err.starts_with(error)) << options << "\n" << run.err;
    }
}

}  // namespace
}  // namespace tarkeep::upscale
