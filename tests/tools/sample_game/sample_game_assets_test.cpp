// The sample game through the product's readers: database, models with their patches, UI sprites.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "data/nif/nif_blocks.h"
#include "data/nif/nif_file.h"
#include "data/sprite_tables.h"
#include "data/texture/texture_colour_info.h"
#include "data/texture/texture_image.h"
#include "data/unit_models.h"
#include "tests/tools/sample_game/sample_game_fixture.h"

namespace tarkeep::test {
namespace {

// Texture file names of the base slots of a model's texturing properties.
std::set<std::string> model_texture_names(const data::NifFile& model) {
    std::set<std::string> names;
    for (const auto& block : model.blocks) {
        const auto* texturing = dynamic_cast<const data::NiTexturingProperty*>(block.get());
        if (texturing == nullptr || !texturing->slots[data::kSlotBase].present) continue;
        const data::NifRef source = texturing->slots[data::kSlotBase].desc.source;
        const auto* texture = dynamic_cast<const data::NiSourceTexture*>(model.blocks.at(source).get());
        if (texture != nullptr) names.insert(texture->file_name);
    }
    return names;
}

std::vector<std::string> state_names(const data::DdfValue& unit_model) {
    std::vector<std::string> names;
    const data::DdfValue* states = unit_model.find("States");
    if (states == nullptr) return names;
    for (const data::DdfValue& state : states->items) {
        if (const data::DdfValue* name = state.find("StateName")) names.push_back(data::display_text(*name));
    }
    return names;
}

TEST(SampleGameDatabase, ArchivesOpenAndDefinitionsLoadInListOrderWithParentChains) {
    REQUIRE_SMALL_SAMPLE();
    const auto& archives = sample.archives->archives();
    ASSERT_GE(archives.size(), 5u);
    EXPECT_TRUE(std::is_sorted(archives.begin(), archives.end(),
                               [](const auto& a, const auto& b) { return a.first < b.first; }));
    EXPECT_TRUE(std::any_of(archives.begin(), archives.end(), [](const auto& a) { return a.first == "db.zip"; }));
    EXPECT_EQ(sample.db->archive().entries().front().name, "DB/");
    EXPECT_EQ(sample.db->root(), "DB");
    std::size_t read = 0;
    for (const auto& [name, archive] : archives) {
        for (const auto& entry : archive->entries()) {
            EXPECT_NO_THROW(archive->read(entry.name)) << name << ": " << entry.name;
            ++read;
        }
    }
    EXPECT_GT(read, 50u);

    const data::GameDb& db = *sample.db;
    EXPECT_TRUE(db.errors().empty()) << db.errors().front();
    EXPECT_TRUE(db.warnings().empty()) << db.warnings().front();
    const std::vector<std::string> listed_first = {"DB/Units/infantry.ddf", "DB/Units/archer.ddf",
                                                   "DB/Units/knight.ddf", "DB/Units/Siege.DDF"};
    ASSERT_GE(db.load_order().size(), listed_first.size() + 2);
    EXPECT_TRUE(std::equal(listed_first.begin(), listed_first.end(), db.load_order().begin()));
    EXPECT_EQ(db.overrides(), 1u);  // the balance file redefines one unit model
    EXPECT_EQ(static_cast<long long>(db.names_of_type("UnitModel").size()),
              reported_number(sample.run.out, "definition files, "));
    EXPECT_EQ(static_cast<long long>(db.definition_files().size()), reported_number(sample.run.out, "database: "));

    // Archer inherits the parent's states and adds its own; Herald goes two levels up.
    EXPECT_EQ(state_names(data::resolve_unit_model(db, "Archer")),
              (std::vector<std::string>{"Idle", "Walk", "Death", "Attack"}));
    const data::DdfValue herald = data::resolve_unit_model(db, "Herald");
    ASSERT_NE(herald.find("Scale"), nullptr);
    EXPECT_EQ(herald.find("Scale")->real, 1.2);
    EXPECT_EQ(state_names(herald), (std::vector<std::string>{"Idle", "Walk", "Death", "Charge"}));
}

TEST(SampleGameModels, ModelJobsParseAndPatchesRecolourOnlyThePlayerColourArea) {
    REQUIRE_SMALL_SAMPLE();
    const auto jobs = data::list_model_jobs(*sample.db, *sample.archives);
    ASSERT_GE(jobs.size(), 5u);
    std::set<std::string> models, animations;
    std::size_t regional = 0;
    for (const data::ModelJob& job : jobs) {
        SCOPED_TRACE(job.model);
        models.insert(job.model);
        if (job.model.ends_with("_we")) ++regional;
        const data::NifFile model = data::read_nif(sample.archives->read(job.model + ".nifcache"));
        const auto textures = model_texture_names(model);
        EXPECT_FALSE(textures.empty());
        for (const std::string& texture : textures)
            EXPECT_TRUE(sample.archives->contains(texture + ".texcache")) << texture;
        for (const std::string& kf : job.kf_files) {
            const data::NifFile animation = data::read_nif(sample.archives->read(kf));
            ASSERT_FALSE(animation.roots.empty());
            EXPECT_NE(dynamic_cast<const data::NiControllerSequence*>(animation.blocks.at(animation.roots[0]).get()),
                      nullptr)
                << kf;
            animations.insert(kf);
        }
    }
    EXPECT_EQ(regional, 1u);
    EXPECT_EQ(models.size(), jobs.size());
    EXPECT_GE(animations.size(), 5u);

    std::size_t masked = 0, patched = 0, with_alpha = 0;
    for (const std::string& key : sample.archives->keys()) {
        if (!key.ends_with(".nifcache")) continue;
        for (const std::string& name : model_texture_names(data::read_nif(sample.archives->read(key)))) {
            const data::TextureColourInfo info = data::texture_colour_info(*sample.archives, name);
            SCOPED_TRACE(info.stem);
            const auto bytes = sample.archives->read(info.stem + ".texcache");
            const data::RgbaImage neutral = data::texture_mip0(bytes);
            bool translucent = false;
            for (std::size_t i = 3; i < neutral.pixels.size(); i += 4) translucent |= neutral.pixels[i] < 255;
            with_alpha += translucent;
            if (!info.has_mask) continue;
            ++masked;
            const data::RgbaImage mask = data::texture_mip0(sample.archives->read(info.stem + "_pc.texcache"));
            ASSERT_EQ(mask.width, neutral.width);
            for (const char letter : info.patch_letters) {
                const auto patch = sample.archives->read(info.stem + std::string(1, letter) + ".pcpatch");
                const data::RgbaImage coloured = data::texture_mip0(bytes, patch);
                ASSERT_EQ(coloured.pixels.size(), neutral.pixels.size());
                std::size_t changed_in_mask = 0, changed_outside = 0;
                for (std::uint32_t y = 0; y < neutral.height; ++y) {
                    for (std::uint32_t x = 0; x < neutral.width; ++x) {
                        const std::size_t at = (std::size_t{y} * neutral.width + x) * 4;
                        if (std::equal(&neutral.pixels[at], &neutral.pixels[at] + 4, &coloured.pixels[at])) continue;
                        // A changed pixel must share its 4x4 block with some of the mask.
                        bool block_masked = false;
                        for (std::uint32_t by = y / 4 * 4; by < y / 4 * 4 + 4; ++by) {
                            for (std::uint32_t bx = x / 4 * 4; bx < x / 4 * 4 + 4; ++bx) {
                                block_masked |= mask.pixels[(std::size_t{by} * mask.width + bx) * 4] > 0;
                            }
                        }
                        ++(block_masked ? changed_in_mask : changed_outside);
                    }
                }
                EXPECT_EQ(changed_outside, 0u) << letter;
                EXPECT_GT(changed_in_mask, neutral.width) << letter;
                ++patched;
            }
        }
    }
    EXPECT_GE(masked, 3u);
    EXPECT_GE(patched, 11u);
    EXPECT_GE(with_alpha, 1u);
}

TEST(SampleGameUi, SpriteTablesPointAtSheetsThatDecode) {
    REQUIRE_SMALL_SAMPLE();
    const data::SpriteDb sprites = data::load_sprite_tables(*sample.db, sample.archives.get());
    EXPECT_EQ(static_cast<long long>(sprites.sprites.size()), reported_number(sample.run.out, "sheets, "));
    std::set<std::string> tables, sheets;
    std::size_t missing = 0;
    for (const data::Sprite& sprite : sprites.sprites) {
        tables.insert(sprite.table);
        if (!sprite.present) {
            ++missing;  // one row names a sheet that was never shipped
            continue;
        }
        sheets.insert(sprite.cache_key);
    }
    EXPECT_EQ(missing, 1u);
    EXPECT_EQ(tables.size(), 4u);
    EXPECT_EQ(sprites.by_name.count("icon_unknown"), 0u);  // its rectangle is not numeric
    std::set<std::string> past_edge;                       // the UI build must clip these
    for (const std::string& sheet : sheets) {
        const data::RgbaImage image = data::texture_to_rgba(sample.archives->read(sheet));
        EXPECT_GT(image.width, 0u) << sheet;
        for (const data::Sprite& sprite : sprites.sprites) {
            if (sprite.cache_key != sheet || static_cast<std::int32_t>(sprite.x) < 0) continue;
            if (sprite.x + sprite.width > image.width || sprite.y + sprite.height > image.height)
                past_edge.insert(sprite.name);
        }
    }
    EXPECT_EQ(past_edge, std::set<std::string>{"btn_wide"});
    EXPECT_EQ(static_cast<long long>(sheets.size()), reported_number(sample.run.out, "ui: "));
}

}  // namespace
}  // namespace tarkeep::test
