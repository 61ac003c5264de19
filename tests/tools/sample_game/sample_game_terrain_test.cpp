// The sample game's terrain: every type and season resolves, textures have mip chains and tile.
#include <gtest/gtest.h>

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

TEST(SampleGameTerrain, EveryTypeAndSeasonResolvesToAShippedTextureExceptTheDocumentedGaps) {
    REQUIRE_SMALL_SAMPLE();
    std::map<std::string, std::set<std::string>> used;  // texture stem -> climates
    for (const std::string climate : {"Arid", "Temperate", "Tropical"}) {
        std::string lower = climate;
        lower[0] = static_cast<char>(std::tolower(lower[0]));
        std::vector<std::string> types;
        const auto& db = *sample.db;
        for (const data::DdfValue& row :
             data::read_csv_table(db.read_text(db.path("Terrain/dbterrain_" + lower + ".csv"))).rows)
            if (const data::DdfValue* type = row.find("Terrain Type");
                type && type->is(data::DdfKind::string) && type->truthy())
                types.push_back(type->text);
        ASSERT_GE(types.size(), 4u) << climate;
        EXPECT_NE(std::find(types.begin(), types.end(), kSampleUntexturedType), types.end()) << climate;
        for (long long season = -1; season < 12; ++season) {
            for (const auto& t : data::resolve_terrain_textures(db, *sample.archives, climate, types, season)) {
                SCOPED_TRACE(climate + " " + t.terrain_type + " season " + std::to_string(season));
                const bool untextured = t.terrain_type == kSampleUntexturedType;
                const bool missing =
                    t.terrain_type == kSampleMissingTextureType && climate == kSampleMissingTextureClimate;
                EXPECT_EQ(t.present, !untextured && !missing) << t.high_detail << " -> " << t.pick;
                EXPECT_EQ(t.high_detail.empty(), untextured);
                EXPECT_TRUE(!t.present || t.texture.rfind("ter_", 0) == 0) << t.texture;
                if (t.present && season >= 0) used[t.texture].insert(climate);
            }
        }
    }
    std::set<std::string> shipped, used_stems;
    for (const std::string& key : sample.archives->keys())
        if (key.rfind("ter_", 0) == 0 && key.ends_with(".texcache")) shipped.insert(key.substr(0, key.size() - 9));
    for (const auto& [stem, climates] : used) used_stems.insert(stem);
    EXPECT_EQ(used_stems, shipped);
    EXPECT_EQ(reported_number(sample.run.out, "terrain: "), static_cast<long long>(shipped.size()));
    EXPECT_TRUE(shipped.size() >= 5 && shipped.size() <= 8) << shipped.size();

    // Some textures serve more than one climate.
    EXPECT_TRUE(std::any_of(used.begin(), used.end(), [](const auto& entry) { return entry.second.size() > 1; }));

    std::set<std::uint32_t> formats;
    for (const std::string& stem : shipped) {
        SCOPED_TRACE(stem);
        const auto bytes = sample.archives->read(stem + ".texcache");
        const data::TexcacheFile file = data::read_texcache(bytes);
        formats.insert(file.format);
        const std::uint32_t side = file.mipmaps.at(0).width;
        EXPECT_TRUE(side >= 64 && side <= 128 && file.mipmaps[0].height == side) << side;
        for (std::size_t level = 1; level < file.mipmaps.size(); ++level)
            EXPECT_EQ(file.mipmaps[level].width, std::max(1u, file.mipmaps[level - 1].width / 2));
        EXPECT_EQ(file.mipmaps.back().width + file.mipmaps.back().height, 2u);
        // Steps in levels per channel: a seam would make the wrap step far larger than a step
        // between neighbours, and a flat texture could not show one.
        const upscale::SeamStats steps = upscale::seam_stats(data::texture_to_rgb_opaque(bytes));
        EXPECT_GT(std::min(steps.inner_x, steps.inner_y), 1.0 / 3);
        EXPECT_LT(steps.seam_x, 1.6 * steps.inner_x + 1);
        EXPECT_LT(steps.seam_y, 1.6 * steps.inner_y + 1);
    }
    EXPECT_EQ(formats, (std::set<std::uint32_t>{4, 6}));
}

TEST(SampleGameTerrain, OneTextureIsOverriddenByALaterArchive) {
    REQUIRE_SMALL_SAMPLE();
    const auto& archives = sample.archives->archives();
    std::size_t overridden = 0;
    for (const std::string& key : sample.archives->keys()) {
        if (!key.ends_with(".texcache")) continue;
        const data::GameArchives::Location* winner = sample.archives->find(key);
        for (std::size_t a = 0; a < archives.size(); ++a)
            for (const auto& entry : archives[a].second->entries()) {
                if (data::archive_key(entry.name) != key || a == winner->archive) continue;
                EXPECT_LT(a, winner->archive) << key << " is shadowed by an earlier archive";
                EXPECT_NE(archives[a].second->read(entry.name), sample.archives->read(key)) << key;
                ++overridden;
            }
    }
    EXPECT_EQ(overridden, 1u);
}

}  // namespace
}  // namespace tarkeep::test
