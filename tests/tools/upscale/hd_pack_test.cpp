// The HD pack end to end: caches built from the sample games, packed, and the pack read back the
// way the game reads its archives.
#include <gtest/gtest.h>

#include <cmath>

#include "data/texture/dxt.h"
#include "data/texture/texture_mips.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"
#include "data/texture_colour_info.h"
#include "image/png_files.h"
#include "platform/shell.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;
using test::sample_game;

// Root mean square difference over R, G and B.
double rmse(const image::RgbaImage& a, const image::RgbaImage& b) {
    EXPECT_TRUE(a.width == b.width && a.height == b.height);
    double sum = 0;
    for (std::size_t i = 0; i < std::min(a.pixels.size(), b.pixels.size()); ++i)
        if (i % 4 != 3) sum += (double(a.pixels[i]) - b.pixels[i]) * (double(a.pixels[i]) - b.pixels[i]);
    return std::sqrt(sum / double(std::max<std::size_t>(1, a.pixels.size() / 4 * 3)));
}

image::RgbaImage decode_level(const std::vector<std::uint8_t>& file, std::span<const std::uint8_t> pixels,
                              std::size_t level) {
    const data::TexcacheFile parsed = data::read_texcache(file);
    const data::MipLevel& mip = parsed.mipmaps.at(level);
    const std::span<const std::uint8_t> data = pixels.subspan(mip.offset);
    return {mip.width, mip.height, data::decode_dxt(data.data(), data.size(), mip.width, mip.height, parsed.format)};
}

// The DXT error of `image`: how far it decodes from itself once encoded in `format`.
double dxt_error(const image::RgbaImage& image, std::uint32_t format) {
    const auto blocks = data::encode_dxt(image.pixels.data(), image.width, image.height, format, data::DxtOptions{});
    return rmse(
        {image.width, image.height, data::decode_dxt(blocks.data(), blocks.size(), image.width, image.height, format)},
        image);
}

// Every level of the packed texture against the box reduction of the HD image.
void expect_levels_match(const std::vector<std::uint8_t>& file, const image::RgbaImage& hd, image::MipAverage average,
                         const std::string& name) {
    const data::TexcacheFile parsed = data::read_texcache(file);
    const std::vector<image::RgbaImage> reference = image::mip_chain(hd, average);
    ASSERT_EQ(parsed.mipmaps.size(), reference.size()) << name;
    const std::span<const std::uint8_t> pixels(file.data() + parsed.pixels_offset, parsed.num_pixels);
    for (std::size_t level = 0; level < reference.size(); ++level) {
        EXPECT_LE(rmse(decode_level(file, pixels, level), reference[level]),
                  dxt_error(reference[level], parsed.format) + 0.5)
            << name << " level " << level;
    }
}

bool block_differs(const image::RgbaImage& a, const image::RgbaImage& b, std::uint32_t block) {
    const std::uint32_t across = (a.width + 3) / 4, x = block % across * 4, y0 = block / across * 4;
    for (std::uint32_t y = y0; y < std::min(y0 + 4, a.height); ++y) {
        const auto row = std::ptrdiff_t((std::size_t(y) * a.width + x) * 4),
                   count = std::ptrdiff_t(std::min(4u, a.width - x) * 4);
        if (!std::equal(a.pixels.begin() + row, a.pixels.begin() + row + count, b.pixels.begin() + row)) return true;
    }
    return false;
}

class HdPack : public ::testing::Test {
protected:
    ProgramResult pack(const fs::path& game, const fs::path& out) {
        return run_upscale({game.string(), cache_.string(), out.string(), "--hd-pack"});
    }

    TempDir dir_;
    fs::path cache_ = dir_ / "cache";
};

TEST_F(HdPack, ModelTexturesMasksAndColourPatchesReadBackAsTheGameReadsThem) {
    const fs::path game = dir_ / "game", pack_file = game / "zips" / "zz_tarkeep_hd.zip";
    fs::copy(sample_game(), game, fs::copy_options::recursive);  // to install the pack in
    const std::vector<std::string> build = {
        game.string(),   cache_.string(), "--exe",      ref_upscaler(), "--models-build", "--model", "nearest",
        "--alpha-model", "nearest",       "--pc-model", "lanczos3",     "--margin",       "4"};
    ASSERT_EQ(run_upscale(build).exit_code, 0);
    const auto packed = pack(game, pack_file);
    ASSERT_EQ(packed.exit_code, 0) << packed.err;
    EXPECT_TRUE(contains(packed.out, "packed 8 textures, 6 masks, "));
    if (platform::has_posix_shell()) {  // Python's zipfile, an outside reader of the pack
        const std::string check =
            "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; "
            "print(z.read('tarkeep_hd_pack.txt').decode())";
        const auto zipfile = run_program("/usr/bin/python3", {"-c", check, pack_file.string()});
        EXPECT_EQ(zipfile.exit_code, 0) << zipfile.err;
        EXPECT_TRUE(contains(zipfile.out, "tarkeep-hd-pack 1\ntarkeep-model-hd 1\nbanner_cloth "));
    }

    const data::GameArchives as_game(game, data::HdPacks::read), original(sample_game());
    for (const auto& [stem, record] : read_model_manifest(cache_ / "manifest.txt")) {
        const image::RgbaImage hd = image::read_png_file(cache_ / (stem + ".png"));
        const auto file = as_game.read(stem + ".texcache");
        EXPECT_EQ(data::read_texcache(file).format, data::read_texcache(original.read(stem + ".texcache")).format);
        expect_levels_match(file, hd, image::MipAverage::light, stem);
        const data::TextureColourInfo info = data::texture_colour_info(original, stem);
        if (info.has_mask) {
            expect_levels_match(as_game.read(stem + "_pc.texcache"), image::read_png_file(cache_ / (stem + "_pc.png")),
                                image::MipAverage::plain, stem + "_pc");
        }
        for (const char letter : info.patch_letters) {
            const std::vector<std::uint8_t> patch = as_game.read(data::pcpatch_name(stem, letter));
            const auto expected = get_model_hd(original, cache_, stem, letter, 0);
            ASSERT_TRUE(expected.has_value());
            EXPECT_LE(rmse(data::texture_mip0(file, patch), expected->image),
                      dxt_error(expected->image, data::read_texcache(file).format) + 0.5)
                << stem << letter;
            // Level 0's runs come before the first separator; their blocks hold changed pixels only.
            for (const auto& [start, count] : data::read_pcpatch(patch).runs) {
                if (start == 0xFFFFFFFFu) break;
                for (std::uint32_t block = start; block < start + count; ++block)
                    EXPECT_TRUE(block_differs(hd, expected->image, block)) << stem << letter << " block " << block;
            }
        }
    }

    // Installed, the pack is not the tool's game data: a rerun has nothing to do.
    const auto rerun = run_upscale(build);
    EXPECT_TRUE(contains(rerun.out, "8 up to date, 0 to upscale"));
    EXPECT_EQ(lines_starting(rerun.err, "warning: zz_tarkeep_hd.zip is an HD pack made by this tool"), 1u);
}

TEST_F(HdPack, TerrainTexturesKeepTheirFormatAndOnlyAPackIsEverReplaced) {
    const fs::path game = dir_ / "terrain_game", out = dir_ / "hd.zip";
    const TerrainGame terrain = write_terrain_game(game, 3, 32);
    ASSERT_EQ(pack(game, out).exit_code, 2);  // no manifest yet
    ASSERT_EQ(
        run_upscale({game.string(), cache_.string(), "--exe", ref_upscaler(), "--model", "nearest", "--margin", "4"})
            .exit_code,
        0);
    touch(out, "not a zip");
    const auto refused = pack(game, out);
    EXPECT_TRUE(refused.exit_code == 2 && contains(refused.err, "it is not an HD pack made by this tool"));
    EXPECT_EQ(read_text(out), "not a zip");
    fs::remove(out);
    ASSERT_EQ(pack(game, out).exit_code, 0);
    ASSERT_EQ(pack(game, out).exit_code, 0);  // a pack of its own is replaced
    EXPECT_FALSE(fs::exists(dir_ / "hd.zip.tmp"));
    const auto nothing = pack(sample_game(), out);  // another game: every record is left out
    EXPECT_TRUE(nothing.exit_code == 1 && contains(nothing.err, "nothing to pack from ")) << nothing.err;
    fs::copy_file(out, game / "zips" / "zz_hd.zip");
    const data::GameArchives as_game(game, data::HdPacks::read);
    for (const std::string& stem : terrain.stems) {
        const std::vector<std::uint8_t> file = as_game.read(stem + ".texcache");
        expect_levels_match(file, image::read_png_file(cache_ / (stem + ".png")), image::MipAverage::light, stem);
    }
    EXPECT_EQ(data::GameArchives(game).skipped_packs(), std::vector<std::string>{"zz_hd.zip"});
}

}  // namespace
}  // namespace tarkeep::upscale
