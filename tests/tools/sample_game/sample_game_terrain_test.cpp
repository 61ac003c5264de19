// The sample game's terrain: every type and season resolves, textures have mip chains and tile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include "data/csv_table.h"
#include "data/terrain_textures.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"
#include "tools/sample_game/sample_game.h"
#include "tests/tools/sample_game/sample_game_fixture.h"
#include "tools/upscale/metrics.h"

namespace tarkeep::test {

using namespace tarkeep::sample_game;
namespace {

const char* const kClimates[] = {"Arid", "Temperate", "Tropical"};

std::vector<std::string> terrain_types(const data::GameDb& db, const std::string& climate) {
    std::string lower = climate;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const data::CsvTable table = data::read_csv_table(db.read_text(db.path("Terrain/dbterrain_" + lower + ".csv")));
    std::vector<std::string> types;
    for (const data::DdfValue& row : table.rows) {
        const data::DdfValue* type = row.find("Terrain Type");
        if (type != nullptr && type->is(data::DdfKind::string) && type->truthy()) types.push_back(type->text);
    }
    return types;
}

// Every resolved texture stem with the climates that use it.
std::map<std::string, std::set<std::string>> resolve_all(const SmallSample& sample) {
    std::map<std::string, std::set<std::string>> used;
    for (const std::string climate : kClimates) {
        const auto types = terrain_types(*sample.db, climate);
        for (long long season = 0; season < 12; ++season) {
            for (const auto& t : data::resolve_terrain_textures(*sample.db, *sample.archives, climate, types, season)) {
                if (t.present) used[t.texture].insert(climate);
            }
        }
    }
    return used;
}

TEST(SampleGameTerrain, EveryTypeAndSeasonResolvesToAShippedTextureExceptTheDocumentedGaps) {
    REQUIRE_SMALL_SAMPLE();
    std::size_t resolved = 0;
    for (const std::string climate : kClimates) {
        const auto types = terrain_types(*sample.db, climate);
        ASSERT_GE(types.size(), 4u) << climate;
        EXPECT_NE(std::find(types.begin(), types.end(), kSampleUntexturedType), types.end()) << climate;
        for (long long season = -1; season < 12; ++season) {
            for (const auto& t : data::resolve_terrain_textures(*sample.db, *sample.archives, climate, types, season)) {
                SCOPED_TRACE(climate + " " + t.terrain_type + " season " + std::to_string(season));
                if (t.terrain_type == kSampleUntexturedType) {
                    EXPECT_TRUE(t.high_detail.empty());
                    EXPECT_FALSE(t.present);
                } else if (t.terrain_type == kSampleMissingTextureType && climate == kSampleMissingTextureClimate) {
                    EXPECT_FALSE(t.texture.empty());
                    EXPECT_FALSE(t.present);
                } else {
                    EXPECT_TRUE(t.present) << t.high_detail << " -> " << t.pick;
                    EXPECT_EQ(t.texture.rfind("ter_", 0), 0u) << t.texture;
                    ++resolved;
                }
            }
        }
    }
    EXPECT_GT(resolved, 0u);

    const auto used = resolve_all(sample);
    std::set<std::string> shipped;
    for (const std::string& key : sample.archives->keys()) {
        if (key.rfind("ter_", 0) == 0 && key.ends_with(".texcache")) shipped.insert(key.substr(0, key.size() - 9));
    }
    std::set<std::string> used_stems;
    for (const auto& [stem, climates] : used) used_stems.insert(stem);
    EXPECT_EQ(used_stems, shipped);
    EXPECT_EQ(reported_number(sample.run.out, "terrain: "), static_cast<long long>(shipped.size()));
    EXPECT_GE(shipped.size(), 5u);
    EXPECT_LE(shipped.size(), 8u);
    // Some textures serve more than one climate.
    EXPECT_TRUE(std::any_of(used.begin(), used.end(), [](const auto& entry) { return entry.second.size() > 1; }));

    // The asset tool lists the same textures with the climates that use them.
    std::string expected;
    for (const auto& [stem, climates] : used) {
        expected += stem;
        for (const std::string& climate : climates) expected += (climate == *climates.begin() ? " " : ",") + climate;
        expected += "\n";
    }
    const ProgramResult list =
        run_program(built_program("tools/upscale/tarkeep_upscale"), {sample.dir.path().string(), "--list"});
    EXPECT_EQ(list.exit_code, 0) << list.err;
    EXPECT_EQ(list.out.substr(0, expected.size()), expected);
    EXPECT_NE(list.out.find("total " + std::to_string(used.size()) + " ("), std::string::npos) << list.out;
}

TEST(SampleGameTerrain, TexturesHaveFullMipChainsDecodeAndTileAndOneIsOverridden) {
    REQUIRE_SMALL_SAMPLE();
    std::set<std::uint32_t> formats;
    for (const auto& [stem, climates] : resolve_all(sample)) {
        SCOPED_TRACE(stem);
        const auto bytes = sample.archives->read(stem + ".texcache");
        const data::TexcacheFile file = data::read_texcache(bytes);
        formats.insert(file.format);
        ASSERT_FALSE(file.mipmaps.empty());
        const std::uint32_t side = file.mipmaps[0].width;
        EXPECT_EQ(file.mipmaps[0].height, side);
        EXPECT_GE(side, 64u);
        EXPECT_LE(side, 128u);
        for (std::size_t level = 1; level < file.mipmaps.size(); ++level) {
            EXPECT_EQ(file.mipmaps[level].width, std::max(1u, file.mipmaps[level - 1].width / 2));
        }
        EXPECT_EQ(file.mipmaps.back().width, 1u);
        EXPECT_EQ(file.mipmaps.back().height, 1u);

        const data::RgbaImage image = data::texture_to_rgb_opaque(bytes);
        ASSERT_EQ(image.width, side);
        // Steps in levels per channel. A flat texture cannot show whether it tiles; a seam
        // would make the wrap step far larger than a step between neighbours.
        const upscale::SeamStats steps = upscale::seam_stats(image);
        EXPECT_GT(std::min(steps.inner_x, steps.inner_y), 1.0 / 3);
        EXPECT_LT(steps.seam_x, 1.6 * steps.inner_x + 1);
        EXPECT_LT(steps.seam_y, 1.6 * steps.inner_y + 1);
    }
    EXPECT_EQ(formats, (std::set<std::uint32_t>{4, 6}));

    const auto& archives = sample.archives->archives();
    std::size_t overridden = 0;
    for (const std::string& key : sample.archives->keys()) {
        if (!key.ends_with(".texcache")) continue;
        const data::GameArchives::Location* winner = sample.archives->find(key);
        ASSERT_NE(winner, nullptr);
        for (std::size_t a = 0; a < archives.size(); ++a) {
            for (const auto& entry : archives[a].second->entries()) {
                if (data::archive_key(entry.name) != key || a == winner->archive) continue;
                EXPECT_LT(a, winner->archive) << key << " is shadowed by an earlier archive";
                EXPECT_NE(archives[a].second->read(entry.name), sample.archives->read(key)) << key;
                ++overridden;
            }
        }
    }
    EXPECT_EQ(overridden, 1u);
}

}  // namespace
}  // namespace tarkeep::test
