// The sample game program: help and bad usage, repeatable output per seed, its report, and
// its terrain read back through the product's readers (the database and models are read by the
// tools' tests that run on the sample game).
#include <gtest/gtest.h>

#include <map>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/terrain_textures.h"
#include "data/texture/texcache.h"
#include "platform/file_bytes.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_bytes.h"
#include "tools/sample_game/sample_game.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::sample_game;
using Files = std::map<std::string, std::vector<std::uint8_t>>;

std::filesystem::path sample_program() { return built_program("tools/sample_game/tarkeep_sample_game"); }

Files archive_files(const std::filesystem::path& dir) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "zips"))
        files[entry.path().filename().string()] = platform::read_file(entry.path());
    return files;
}

TEST(SampleGame, BadUsageSameSeedSameBytesOtherSeedOtherImagesAndTerrainWithItsDocumentedGaps) {
    TempDir sample, again, other;  // bad usage writes nothing into `other`, used afterwards
    const std::string out = other.path().string();
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "missing <out dir>"},
        {{out, "--size", "huge"}, "--size must be small, medium or large"},
        {{out, "--seed", "12x"}, "--seed needs an unsigned number"},
        {{out, "--seed", "-3"}, "--seed needs an unsigned number"},
        {{out, "--seed"}, "--seed needs a value"},
        {{out, "--colour", "red"}, "unknown option --colour"},
        {{out, "second"}, "more than one output folder"},
    };
    for (const auto& [arguments, reason] : cases) {
        const ProgramResult run = run_program(sample_program(), arguments);
        EXPECT_TRUE(run.exit_code == 2 && run.err.find(reason) != std::string::npos &&
                    run.err.find("usage:") != std::string::npos)
            << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(other / "zips"));
    const ProgramResult run = run_program(sample_program(), {sample.path().string(), "--size", "small", "--seed", "7"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Files first = archive_files(sample.path());
    ASSERT_EQ(run_program(sample_program(), {again.path().string(), "--seed", "7"}).exit_code, 0);
    EXPECT_EQ(archive_files(again.path()), first);
    // A leftover archive stays where it is, with a warning: the readers would open it too.
    std::filesystem::create_directories(other / "zips");
    platform::write_file(other / "zips" / "Old.ZIP", bytes_of("not ours"));
    const ProgramResult other_run = run_program(sample_program(), {out, "--size", "small", "--seed", "8"});
    ASSERT_EQ(other_run.exit_code, 0) << other_run.err;
    EXPECT_NE(other_run.err.find("warning: Old.ZIP in "), std::string::npos) << other_run.err;
    Files changed = archive_files(other.path());
    EXPECT_EQ(changed.erase("Old.ZIP"), 1u);
    ASSERT_EQ(changed.size(), first.size());
    for (const auto& [name, bytes] : first) {  // the tables do not depend on the seed; every image archive does
        EXPECT_EQ(changed.at(name) == bytes, name == "db.zip" || name == "art1.zip") << name;
        EXPECT_NE(run.out.find("  " + name), std::string::npos) << name;
    }
    EXPECT_EQ(run.out.rfind("sample game (size small, seed 7)", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\n" + std::to_string(first.size()) + " archives, "), std::string::npos) << run.out;

    // The terrain, read back through the product's readers.
    const data::GameArchives archives(sample.path());
    const data::GameDb db(sample.path() / "zips" / "db.zip");
    EXPECT_TRUE(db.errors().empty() && db.warnings().empty());
    // The asset tool's listing resolves every terrain type of every climate and season.
    const ProgramResult list =
        run_program(built_program("tools/upscale/tarkeep_upscale"), {sample.path().string(), "--list"});
    EXPECT_EQ(list.out,
              "ter_dirt Arid,Temperate\nter_grass Temperate,Tropical\nter_mud Temperate,Tropical\n"
              "ter_rock Arid,Temperate,Tropical\nter_sand Arid,Tropical\nter_snow Temperate\n"
              "total 6 ( Arid 3 Temperate 5 Tropical 4 )\n");
    const auto gaps =
        data::resolve_terrain_textures(db, archives, kSampleMissingTextureClimate,
                                       {std::string(kSampleUntexturedType), std::string(kSampleMissingTextureType)}, 0);
    ASSERT_EQ(gaps.size(), 2u);
    for (const auto& t : gaps)
        EXPECT_TRUE(!t.present && t.high_detail.empty() == (t.terrain_type == kSampleUntexturedType)) << t.terrain_type;

    std::size_t shipped = 0;
    for (const std::string& key : archives.keys()) {
        if (!key.starts_with("ter_") || !key.ends_with(".texcache")) continue;
        ++shipped;
        const data::TexcacheFile file = data::read_texcache(archives.read(key));
        const std::uint32_t side = file.mipmaps.at(0).width;
        EXPECT_TRUE(side >= 64 && side <= 128 && file.mipmaps[0].height == side) << key;
        EXPECT_EQ(file.mipmaps.back().width + file.mipmaps.back().height, 2u) << key;  // a whole mip chain
    }
    EXPECT_EQ(shipped, 6u);
}

}  // namespace
}  // namespace tarkeep::test
