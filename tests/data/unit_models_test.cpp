// Unit models: Parent chains and States, the caching resolver, model keys, variants and model jobs.
#include <gtest/gtest.h>

#include <tuple>

#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/unit_models.h"
#include "ddf_show.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

using test::DbZipBuilder;
using test::show;
using test::ZipFiles;

ZipFiles empty_files(std::initializer_list<const char*> names) {
    ZipFiles files;
    for (const char* name : names) files.add(name, "");
    return files;
}

class UnitModelsTest : public testing::Test {
protected:
    // A game folder whose db.zip holds `units` as one definition file.
    const GameDb& db_of(std::string units, const ZipFiles& assets = ZipFiles()) {
        test::GameFolderWriter game(temp.path());
        game.add_zip("db.zip", DbZipBuilder("DB").add("units.ddf", std::move(units)).files());
        game.add_zip("models.zip", assets);
        db_.emplace(game.zips() / "db.zip");
        archives_.emplace(game.dir());
        return *db_;
    }
    std::string resolved(std::string_view name) const { return show(resolve_unit_model(*db_, name)); }

    test::TempDir temp;
    std::optional<GameDb> db_;
    std::optional<GameArchives> archives_;
};

TEST_F(UnitModelsTest, ParentsStatesResolverModelKeysAndModelJobs) {
    db_of(R"(
        UnitModel Base { Scale = 1; Color = red; States { StateName = Idle; A = base } States { StateName = Walk } }
        UnitModel Child { Parent = Base; Color = blue; Extra = 1
                          States { StateName = Idle; A = child } States { StateName = Attack } }
        UnitModel P { States [ { StateName = 1; v = p1 } { StateName = "1"; v = p2 } { v = nameless } ] }
        UnitModel C { Parent = P; States [ { StateName = 1.0; v = c1 } { StateName = "1"; v = c2 } { v = c3 } ] }
        UnitModel One { States { StateName = Idle } }
        UnitModel Mixed { States [ 1; { StateName = X } ] }
        UnitModel Self { Parent = Self; Hp = 1; States [ { StateName = S } ] }
        UnitModel A { Parent = B; a = 1 }
        UnitModel B { Parent = A; b = 1; a = 0 }
        UnitModel Lower { Parent = 0; parent = Plain; own = 1 }
        UnitModel Plain { base = 1 }
        UnitModel Orphan { Parent = Nobody; x = 1 }
        UnitModel Number { Parent = 7 }
        UnitModel 7 { seven = 1 }
    )");
    const std::pair<const char*, const char*> cases[] = {
        // The child overrides its parent; states merge by name, in the parent's order.
        {"Child",
         "{Scale: 1, Color: 'blue', __multi__States: true, States: [{StateName: 'Idle', A: 'child'}, "
         "{StateName: 'Walk'}, {StateName: 'Attack'}], Parent: 'Base', Extra: 1}"},
        // State names compare by kind and content; nameless states are new ones.
        {"C",
         "{States: [{StateName: 1, v: 'p1'}, {StateName: '1', v: 'c2'}, {v: 'c3'}, {StateName: 1f, v: 'c1'}], "
         "Parent: 'P'}"},
        // Only lists of states contribute.
        {"One", "{States: []}"},
        {"Mixed", "{States: [{StateName: 'X'}]}"},
        // Parent links that loop, are falsy, or lead nowhere.
        {"Self", "{Parent: 'Self', Hp: 1, States: [{StateName: 'S'}]}"},
        {"A", "{Parent: 'B', b: 1, a: 1, States: []}"},
        {"Lower", "{base: 1, States: [], Parent: 0, parent: 'Plain', own: 1}"},
        {"Orphan", "{Parent: 'Nobody', x: 1, States: []}"},
        {"Number", "{Parent: 7, States: []}"},
        {"Unknown", "{States: []}"}};
    UnitModelResolver resolver(*db_);  // the caching resolver gives the same, in any order
    for (const auto& [unit, expected] : cases) {
        EXPECT_EQ(resolved(unit), expected) << unit;
        EXPECT_EQ(show(resolver.resolve(unit)), expected) << unit;
    }
    // The resolver must give what resolve_unit_model gives for every unit, in any order,
    // while applying each body of an acyclic chain once.
    constexpr int kUnits = 20000;  // deep enough to overflow the stack of a recursive resolution
    std::string chain;
    for (int i = 0; i < kUnits; ++i)
        chain += "UnitModel U" + std::to_string(i) + " { Parent = U" + std::to_string(i + 1) +
                 "; k = " + std::to_string(i) + " }\n";
    db_of(std::move(chain));
    UnitModelResolver long_chain(*db_);
    for (int i = 0; i < kUnits; ++i) long_chain.resolve("U" + std::to_string(i));
    EXPECT_EQ(long_chain.steps(), std::size_t{kUnits});
    EXPECT_EQ(show(long_chain.resolve("U0")), resolved("U0"));
    db_of(R"(
        UnitModel Archer { DefaultModel = "Models\Archer.nif"
                           States [ { AnimName = Walk.KF; AnimVariants [ walk.kf missing idle ] } ] }
        UnitModel Nothing { DefaultModel = null.nif }
        UnitModel Absent { }
        UnitModel Scout { DefaultModel = archer; States [ { ModelName = horse.nif; AnimName = gallop } ] }
        UnitModel Ghost { DefaultModel = ghost.nif }
    )",
          empty_files({"m/archer.nifcache", "m/ARCHER_WE.nifcache", "m/archer_am.nifcache", "m/archer_xx.nifcache",
                       "m/horse_fe.nifcache", "m/null.nifcache", "m/none.nifcache", "a/walk.kf", "a/idle.kf",
                       "a/gallop.kf"}));
    std::string out;
    for (const ModelJob& job : list_model_jobs(*db_, *archives_)) {
        out += job.unit + " " + job.model + ":";
        for (const std::string& kf : job.kf_files) out += " " + kf;
        out += "\n";
    }
    EXPECT_EQ(out,
              "Archer archer: walk.kf idle.kf\n"
              "Archer archer_we: walk.kf idle.kf\n"
              "Archer archer_am: walk.kf idle.kf\n"
              "Scout horse_fe: gallop.kf\n");
    // The key is the lower-cased file stem of the display text; null models are falsy
    // values and those whose key is "null".
    using V = DdfValue;
    const std::tuple<DdfValue, const char*, bool> keys[] = {{V::string("\"Models\\Units\\Archer.NIF"), "archer", false},
                                                            {V::string("a/b\\C.x.Nif"), "c.x", false},
                                                            {V::string("dir.v2/Plain"), "plain", false},
                                                            {V::string("NULL.nif"), "null", true},
                                                            {V::string("nulls"), "nulls", false},
                                                            {V::string(""), "", true},
                                                            {V::int_value(5), "5", false},
                                                            {V::none(), "none", true},
                                                            {V::float_value(1.0), "f3ff0000000000000", false}};
    for (const auto& [value, key, null] : keys) {
        EXPECT_EQ(model_key(value), key) << show(value);
        EXPECT_EQ(is_null_model(value), null) << show(value);
    }
}

}  // namespace
}  // namespace tarkeep::data
