// The asset tool's parts below a whole run: arguments, dispatch and numbers; cache keys and both
// manifests; player-colour fitting; UI sheet classes.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <stdexcept>

#include "tests/image/naive_image_ops.h"
#include "tests/image/test_images.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/dispatch.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/player_colour.h"
#include "tools/upscale/terrain_manifest.h"
#include "tools/upscale/ui_sheets.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

Args parse(std::vector<std::string> words) {
    words.insert(words.begin(), "tarkeep_upscale");
    return parse_args(static_cast<int>(words.size()), words);
}

// `error` is nullptr when the text converts.
template <typename Convert>
void expect_errors(Convert convert, const std::vector<std::pair<std::string, const char*>>& cases) {
    for (const auto& [text, error] : cases) {
        try {
            convert(text);
            EXPECT_FALSE(error) << text;
        } catch (const std::logic_error& e) {  // invalid_argument and out_of_range
            EXPECT_STREQ(e.what(), error) << text;
        }
    }
}

// Every whole run parses its options; these are the corners runs do not reach.
TEST(ParseArgs, SortsPositionalsValuesAndFlagsTheFirstMatchingCommandWinsAndNumbersFollowTheCRuntime) {
    Args a = parse({"game", "--only", "t1", "cache", "--margin", "8", "--only", "t2", "--margin", "12", "--force", "-x",
                    "-", "--"});
    EXPECT_EQ(a.positional, (std::vector<std::string>{"game", "cache", "-x", "-"}));
    EXPECT_EQ(std::tuple(a.list("--only"), opt(a, "--margin", "64"), opt(a, "--work", "fallback")),
              std::tuple(std::vector<std::string>{"t1", "t2"}, "12", "fallback"));
    EXPECT_TRUE(a.flag("--force") && a.flag("--") && !a.flag("--only"));
    // A value option takes the next word, even one that looks like an option; at the end it is a flag.
    const Args b = parse({"--work", "--force", "game", "--orig"});
    EXPECT_EQ(b.list("--work"), (std::vector<std::string>{"--force"}));
    EXPECT_TRUE(!b.flag("--force") && b.flag("--orig") && !b.has_value("--orig"));
    EXPECT_EQ(parse_args(3, {"prog", "a", "b", "c"}).positional, (std::vector<std::string>{"a", "b"}));  // the count
    // Whole runs reach each command; these rows are the precedence between them.
    const std::pair<const char*, Command> cases[] = {{"--seam --montage --tile2 a b c --list", Command::seam},
                                                     {"--montage --tile2 a b c", Command::montage},
                                                     {"--tile2 a b c", Command::tile2},
                                                     {"--tile2 a b", Command::terrain},
                                                     {"--tile2 a --list", Command::list},
                                                     {"g --models-list --list", Command::models_list},
                                                     {"g --model-orig out", Command::model_orig},
                                                     {"--models-glb a b c", Command::models_glb},
                                                     {"g c --models-estimate --models-build", Command::models_estimate},
                                                     {"g c --model-get tex --models-build", Command::model_get},
                                                     {"g c --models-build --ui-build", Command::models_build},
                                                     {"g --ui-orig out --ui-list", Command::ui_orig},
                                                     {"g --ui-list --list", Command::ui_list},
                                                     {"g --list --orig out", Command::list},
                                                     {"g c --models-list", Command::terrain},
                                                     {"--work --force game --orig", Command::usage},
                                                     {"g", Command::usage},
                                                     {"g c d", Command::usage}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(select_command(parse(words({}, text))), expected) << text;
    auto result = run_upscale({});
    EXPECT_TRUE(result.exit_code == 2 && result.out.empty() && result.err.rfind("usage: ", 0) == 0) << result.err;

    // Option values convert as the C runtime does, with portable messages.
    EXPECT_EQ(std::tuple(to_int(" 42abc"), to_int("-2147483648")), std::tuple(42, -2147483647 - 1));
    expect_errors(to_int, {{"", "invalid stoi argument"},
                           {"2147483648", "stoi argument out of range"},
                           {"-2147483649", "stoi argument out of range"},
                           {"99999999999999999999", "stoi argument out of range"},
                           {"2147483647", nullptr}});
    EXPECT_EQ(std::tuple(to_unsigned("4294967295"), to_unsigned("-1")), std::tuple(4294967295u, 4294967295u));
    expect_errors(to_unsigned, {{"x", "invalid stoul argument"},
                                {"4294967296", "stoul argument out of range"},
                                {"-4294967296", "stoul argument out of range"},
                                {"18446744073709551616", "stoul argument out of range"}});
    EXPECT_DOUBLE_EQ(to_double("0.504x"), 0.504);
    expect_errors(to_double, {{"half", "invalid stod argument"}, {"1e999", "stod argument out of range"}});
}

// The hashes of real textures are checked in the stored model manifest; these are the settings no run uses.
TEST(Manifests, RoundTripLoadDamagedFilesLenientlyDecideWhatIsUpToDateNameEverySettingAndChooseScales) {
    TempDir dir;
    const auto path = dir / "manifest.txt";
    TerrainManifest m;
    m["zeta"] = {"0123456789abcdef", "realesrgan-x4plus", "m64-bp3x50-db0", 1024, 512};
    m["alpha"] = {"fedcba9876543210", "onnx:esrgan", "m64-bp3x50-db0-ot512", 256, 256};
    save_terrain_manifest(path, m);
    EXPECT_EQ(read_text(path),
              "tarkeep-terrain-hd 1\nalpha fedcba9876543210 onnx:esrgan m64-bp3x50-db0-ot512 256 256\n"
              "zeta 0123456789abcdef realesrgan-x4plus m64-bp3x50-db0 1024 512\n");
    EXPECT_EQ(load_terrain_manifest(path), m);
    EXPECT_FALSE(std::filesystem::exists(dir / "manifest.txt.tmp"));
    for (const char* header : {"tarkeep-terrain-hd 2\n", "tarkeep-terrain-hd 1 \n", "tarkeep-model-hd 1\n"}) {
        touch(path, std::string(header) + "a h m s 1 2\n");
        EXPECT_TRUE(load_terrain_manifest(path).empty()) << header;
    }
    touch(path, "tarkeep-terrain-hd 1\r\na h m s 1 2\r\nb h m s 3\nc h m s x 4\na h2 m s 5 6\n");
    const TerrainManifest loaded = load_terrain_manifest(path);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded.at("a"), (TerrainManifestEntry{"h2", "m", "s", 5, 6}));

    // Changed settings, models, --force and missing files are redone in the terrain runs; a changed source here.
    touch(dir / "a.png");
    EXPECT_TRUE(is_up_to_date(loaded, "a", "h2", "m", "s", false, dir.path()));
    EXPECT_FALSE(is_up_to_date(loaded, "a", "h", "m", "s", false, dir.path()) ||
                 is_up_to_date(loaded, "b", "h2", "m", "s", false, dir.path()));
    EXPECT_EQ(terrain_settings_string(64, 3, 0.125, false, 10, -1, false, ""), "m64-bp3x13-db0");  // 12.5 rounds up
    EXPECT_EQ(terrain_settings_string(32, 0, 1.0, true, 12, -1, true, "-ot256"), "m32-bp0x100-db12-tta-ot256");
    EXPECT_EQ(terrain_settings_string(64, 3, 0.5, false, 10, 0, true, "-ot256"), "m64-bp3x50-db0-dr0-tta-ot256");
    EXPECT_EQ(round_half_away(-2.5), -3);

    // The model manifest in the same file: writing it, and refusing a terrain cache, are checked by
    // the model pipeline runs.
    touch(path, "tarkeep-model-hd 2\na h m s 1 1 1\n");
    EXPECT_TRUE(read_model_manifest(path).empty());
    touch(path, "tarkeep-model-hd 1\r\na h m s 1 1 1\r\nshort h m s 1 1\n");
    EXPECT_EQ(read_model_manifest(path).size(), 1u);
    const std::uint32_t cases[][6] = {
        // width, height, min, max, factor, scale
        {256, 128, 64, 1024, 4, 4}, {512, 512, 64, 1024, 4, 2}, {1024, 64, 64, 1024, 4, 0}, {63, 256, 64, 1024, 4, 0},
        {256, 256, 64, 1024, 3, 2}, {256, 256, 64, 1024, 8, 4}, {64, 64, 64, 1024, 8, 8},   {600, 64, 64, 1024, 3, 0},
        {0, 64, 0, 1024, 4, 0},     {64, 64, 64, 256, 4, 4},    {65, 65, 64, 256, 4, 2},    {64, 64, 64, 1024, 16, 16}};
    for (const auto& c : cases)
        EXPECT_EQ(choose_scale(c[0], c[1], c[2], c[3], c[4]), c[5]) << c[0] << "x" << c[1] << " f" << c[4];
}

TEST(PlayerColour, CurveAndTableAroundTheirEndsAndFitsThatNeedADenominatorAboveHundred) {
    const PcFit at_threshold{.knot_count = 1, .knot_x = {kPcMinWeight}, .knot_value = {0.7f}},
        ramp{.knot_count = 1, .knot_x = {0.5f}, .knot_value = {1.0f}},
        three{.knot_count = 3, .knot_x = {0.2f, 0.6f, 0.6f}, .knot_value = {0.4f, 0.8f, 0.1f}}, none;
    const std::tuple<const PcFit*, float, float> cases[] = {
        {&at_threshold, 4.0f / 255.0f, 0.7f},  // exactly at the threshold: first segment
        {&at_threshold, 0.0156f, 0.0f},        // just below
        {&ramp, 4.0f / 255.0f, 0.0f},
        {&ramp, (0.5f + kPcMinWeight) / 2, 0.5f},
        {&three, 0.4f, 0.6f},
        {&three, 0.6f, 0.8f},  // the first knot at or past the weight wins
        {&three, 0.9f, 0.1f},
        {&none, 0.9f, 0.0f},  // past the last knot; no knots
    };
    for (const auto& [fit, w, strength] : cases) EXPECT_NEAR(curve(*fit, w), strength, 1e-5) << w;

    PcFit banded;
    for (std::size_t b = 0; b < 32; ++b) banded.table[b] = {float(b) * 8, 255 - float(b) * 8, 7};
    const std::pair<float, std::array<float, 3>> table[] = {
        {0.0f, {0, 255, 7}}, {255.0f, {248, 7, 7}}, {12.0f, {8, 247, 7}}, {8.0f, {4, 251, 7}}, {-5.0f, {0, 255, 7}}};
    for (const auto& [luminance, expected] : table)
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(table_colour(banded, luminance)[c], expected[c], 1e-4) << luminance;

    // Fitting. One sample moved by (10, dy, 0): a strength bin's denominator is 100 + dy².
    const image::RgbaImage neutral = filled(1, 1, 100, 100, 100, 255);
    for (int dy : {0, 1}) {
        const PcFit fit = fit_player_colour(neutral, filled(1, 1, 110, std::uint8_t(100 + dy), 100), {0.5f});
        EXPECT_TRUE(fit.valid == (dy == 1) && fit.samples == 1u) << dy;
        const float off = std::abs(fit.knot_x[0] - 0.5f) + std::abs(fit.knot_value[0] - 1.0f) + std::abs(fit.error);
        EXPECT_TRUE(dy == 0 || (fit.knot_count == 1 && off < 1e-5f)) << off;
    }
    // One sampled bin fills the whole table; the bins between a dark and a light sample take colours on the line
    // between theirs.
    const PcFit one = fit_player_colour(filled(4, 4, 100, 100, 100), filled(4, 4, 200, 40, 30), WeightMap(16, 1.0f)),
                two = fit_player_colour(image::RgbaImage{2, 1, {20, 20, 20, 255, 220, 220, 220, 255}},
                                        image::RgbaImage{2, 1, {90, 10, 10, 255, 120, 250, 250, 255}}, {1.0f, 1.0f});
    ASSERT_TRUE(one.valid && two.valid);
    for (std::size_t b = 0; b < 32; ++b)
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_NEAR(one.table[b][c], (std::array{200, 40, 30}[c]), 1e-3) << b;
            EXPECT_LE(std::abs(two.table[b][c] - two.table[0][c]) + std::abs(two.table[b][c] - two.table[31][c]),
                      std::abs(two.table[0][c] - two.table[31][c]) + 1e-3);
        }
    const image::RgbaImage grey = filled(2, 2, 90, 120, 150, 255), black = filled(2, 2, 0, 0, 0, 255);
    for (const PcFit& fit :
         {fit_player_colour(grey, grey, WeightMap(4, 1.0f)), fit_player_colour(grey, black, WeightMap(3, 1.0f)),
          fit_player_colour(grey, black, WeightMap(4, 0.015f))}) {
        EXPECT_FALSE(fit.valid);
        image::RgbaImage image = grey;
        apply_player_colour(image, WeightMap(4, 1.0f), fit);
        EXPECT_EQ(image.pixels, grey.pixels);
    }
}

// Tiling is checked through the sprite runs (their network inputs and pixels).
TEST(ClassifyUiSheet, FirstMatchingRule) {
    // stem, table, largest rectangle side (0: no rectangles), class
    for (const char* row :
         {"button_big hud 200 icon", "hud_frame hud 81 panel", "hud_frame hud 80 icon", "icon_big hud 300 icon",
          "big_icon_ hud 300 panel", "top_but_x hud 300 icon", "resources hud 300 icon", "the_crown hud 300 icon",
          "panel hud 0 icon", "a unitIcons 300 icon", "b techtree 300 icon", "c uianim 300 icon",
          "d unitActions 300 icon"}) {
        std::istringstream in(row);
        UiSheet sheet;
        std::string table, expected;
        std::uint32_t side = 0;
        in >> sheet.stem >> table >> side >> expected;
        sheet.tables = {"dbsprite_" + table + "_packed.csv"};
        if (side > 0) sheet.rects = {{0, 0, 10, side}, {0, 0, side - 1, 5}};
        EXPECT_EQ(classify_ui_sheet(sheet), expected) << row;
    }
}

}  // namespace
}  // namespace tarkeep::upscale
