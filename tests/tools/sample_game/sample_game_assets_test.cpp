// The sample game's database through the product's readers (its models are checked by the glTF export tests).
#include <gtest/gtest.h>

#include <algorithm>

#include "data/unit_models.h"
#include "tests/tools/sample_game/sample_game_fixture.h"

namespace tarkeep::test {
namespace {

std::vector<std::string> state_names(const data::DdfValue& unit_model) {
    std::vector<std::string> names;
    for (const data::DdfValue& state : unit_model.find("States")->items)
        names.push_back(data::display_text(*state.find("StateName")));
    return names;
}

TEST(SampleGameDatabase, EveryEntryReadsAndDefinitionsLoadInListOrderWithParentChains) {
    REQUIRE_SMALL_SAMPLE();
    std::size_t read = 0;
    for (const auto& [name, archive] : sample.archives->archives())
        for (const auto& entry : archive->entries()) {
            EXPECT_NO_THROW(archive->read(entry.name)) << name << ": " << entry.name;
            ++read;
        }
    EXPECT_GT(read, 50u);
    const data::GameDb& db = *sample.db;
    EXPECT_TRUE(db.errors().empty() && db.warnings().empty());
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
    EXPECT_EQ(herald.find("Scale")->real, 1.2);
    EXPECT_EQ(state_names(herald), (std::vector<std::string>{"Idle", "Walk", "Death", "Charge"}));
}

}  // namespace
}  // namespace tarkeep::test
