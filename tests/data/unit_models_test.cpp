#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/unit_models.h"
#include "ddf_show.h"
#include "tests/support/game_db_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

using test::DbZipBuilder;
using test::show;
using test::ZipFiles;

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
    const GameArchives& archives() const { return *archives_; }
    std::string resolved(std::string_view name) const { return show(resolve_unit_model(*db_, name)); }

    test::TempDir temp;
    std::optional<GameDb> db_;
    std::optional<GameArchives> archives_;
};

TEST_F(UnitModelsTest, ChildOverridesParentAndStatesMergeByName) {
    db_of(R"(
        UnitModel Base { Scale = 1; Color = red; States { StateName = Idle; A = base } States { StateName = Walk } }
        UnitModel Child { Parent = Base; Color = blue; Extra = 1
                          States { StateName = Idle; A = child } States { StateName = Attack } }
    )");
    EXPECT_EQ(resolved("Child"),
              "{Scale: 1, Color: 'blue', __multi__States: true, States: [{StateName: 'Idle', A: 'child'}, "
              "{StateName: 'Walk'}, {StateName: 'Attack'}], Parent: 'Base', Extra: 1}");
}

TEST_F(UnitModelsTest, StateNamesCompareByKindAndContent) {
    db_of(R"(
        UnitModel P { States [ { StateName = 1; v = p1 } { StateName = "1"; v = p2 } { v = nameless } ] }
        UnitModel C { Parent = P; States [ { StateName = 1.0; v = c1 } { StateName = "1"; v = c2 } { v = c3 } ] }
    )");
    EXPECT_EQ(resolved("C"),
              "{States: [{StateName: 1, v: 'p1'}, {StateName: '1', v: 'c2'}, {v: 'c3'}, {StateName: 1f, v: 'c1'}], "
              "Parent: 'P'}");
}

TEST_F(UnitModelsTest, OnlyListsOfStatesContribute) {
    db_of(R"(UnitModel One { States { StateName = Idle } } UnitModel Mixed { States [ 1; { StateName = X } ] })");
    EXPECT_EQ(resolved("One"), "{States: []}");
    EXPECT_EQ(resolved("Mixed"), "{States: [{StateName: 'X'}]}");
}

TEST_F(UnitModelsTest, ParentLinksThatGoNowhere) {
    db_of(R"(
        UnitModel Self { Parent = Self; Hp = 1; States [ { StateName = S } ] }
        UnitModel A { Parent = B; a = 1 }
        UnitModel B { Parent = A; b = 1; a = 0 }
        UnitModel Lower { Parent = 0; parent = Base; own = 1 }
        UnitModel Base { base = 1 }
        UnitModel Orphan { Parent = Nobody; x = 1 }
        UnitModel ToEmpty { Parent = Empty; x = 1 }
        UnitModel Empty { }
        UnitModel Number { Parent = 7 }
        UnitModel 7 { seven = 1 }
    )");
    EXPECT_EQ(resolved("Self"), "{Parent: 'Self', Hp: 1, States: [{StateName: 'S'}]}");
    EXPECT_EQ(resolved("A"), "{Parent: 'B', b: 1, a: 1, States: []}");
    EXPECT_EQ(resolved("Lower"), "{base: 1, States: [], Parent: 0, parent: 'Base', own: 1}");
    EXPECT_EQ(resolved("Orphan"), "{Parent: 'Nobody', x: 1, States: []}");
    EXPECT_EQ(resolved("ToEmpty"), "{Parent: 'Empty', x: 1, States: []}");
    EXPECT_EQ(resolved("Number"), "{Parent: 7, States: []}");
    EXPECT_EQ(resolved("Unknown"), "{States: []}");
}

TEST_F(UnitModelsTest, LongParentChainResolvesWithoutRecursion) {
    constexpr int length = 20000;
    std::string text;
    for (int i = 0; i < length; ++i) {
        text += "UnitModel U" + std::to_string(i) + " { Parent = U" + std::to_string(i + 1) + "; Level" +
                std::to_string(i % 3) + " = " + std::to_string(i) + " }\n";
    }
    text += "UnitModel U" + std::to_string(length) + " { Root = 1; Parent = U0 }\n";
    db_of(std::move(text));
    const DdfValue top = resolve_unit_model(*db_, "U0");
    // The nearest definition of each key wins; the loop back to U0 stops the chain.
    EXPECT_EQ(top.find("Level0")->integer, 0);
    EXPECT_EQ(top.find("Level1")->integer, 1);
    EXPECT_EQ(top.find("Level2")->integer, 2);
    EXPECT_EQ(top.find("Root")->integer, 1);
    EXPECT_EQ(top.find("Parent")->text, "U1");
}

TEST(ModelKey, DisplayTextToStem) {
    struct Case {
        DdfValue value;
        const char* key;
    };
    const Case cases[] = {
        {DdfValue::string("\"Models\\Units\\Archer.NIF"), "archer"},
        {DdfValue::string("a/b\\C.x.Nif"), "c.x"},
        {DdfValue::string("a\\b/c.kf"), "c"},
        {DdfValue::string(".hidden"), ".hidden"},
        {DdfValue::string("dir.v2/Plain"), "plain"},
        {DdfValue::string("NULL.nif"), "null"},
        {DdfValue::int_value(5), "5"},
        {DdfValue::none(), "none"},
        {DdfValue::boolean(true), "true"},
        {DdfValue::float_value(1.0), "f3ff0000000000000"},
    };
    for (const Case& c : cases) EXPECT_EQ(model_key(c.value), c.key) << show(c.value);
}

TEST(ModelKey, NullModels) {
    EXPECT_TRUE(is_null_model(DdfValue::none()));
    EXPECT_TRUE(is_null_model(DdfValue::string("")));
    EXPECT_TRUE(is_null_model(DdfValue::string("null")));
    EXPECT_TRUE(is_null_model(DdfValue::string("Models/Null.nif")));
    EXPECT_TRUE(is_null_model(DdfValue::int_value(0)));
    EXPECT_FALSE(is_null_model(DdfValue::string("nulls")));
    EXPECT_FALSE(is_null_model(DdfValue::int_value(3)));
}

std::string variants_of(const DdfValue& unit) {
    std::string out;
    for (const ModelVariant& v : collect_model_variants(unit)) {
        out += show(v.model) + " <- " + show(DdfValue::list(v.anims)) + "\n";
    }
    return out;
}

TEST_F(UnitModelsTest, VariantsCollectModelsAndAnimations) {
    db_of(R"(
        UnitModel U {
            DefaultModel = archer.nif
            DefaultModelList [ archer.nif "_state_fire" bow.nif ]
            States [
                { StateName = Walk; AnimName = walk; AnimVariants [ walk2 0 "" walk3 ] }
                { StateName = Die; ModelName = dead.nif; AnimName = die }
                { StateName = Idle; AnimVariants = idle }
                { StateName = Shoot; ModelName = bow.nif; AnimName = shoot }
                { StateName = Run; AnimName = run }
            ]
        }
        UnitModel NoDefault { States [ { StateName = A; ModelName = m; AnimName = a } { StateName = B; AnimName = b } ] }
        UnitModel Nameless { States [ { ModelName = m; AnimName = a } { AnimName = b } ] }
    )");
    EXPECT_EQ(variants_of(resolve_unit_model(*db_, "U")),
              "'archer.nif' <- ['walk', 'walk2', 'walk3', 'run']\n"
              "'_state_fire' <- []\n"
              "'bow.nif' <- ['walk', 'walk2', 'walk3', 'shoot', 'run']\n"
              "'dead.nif' <- ['die', 'run']\n");
    EXPECT_EQ(variants_of(resolve_unit_model(*db_, "NoDefault")), "none <- []\n'm' <- ['a', 'b']\n");
    // Without names the second state replaces the first, so no model is left.
    EXPECT_EQ(variants_of(resolve_unit_model(*db_, "Nameless")), "none <- []\n");
}

TEST_F(UnitModelsTest, ModelJobsWithRegionsAnimationsAndSharing) {
    db_of(R"(
        UnitModel Archer { DefaultModel = "Models\Archer.nif"
                           States [ { AnimName = Walk.KF; AnimVariants [ walk.kf missing idle ] } ] }
        UnitModel Nothing { DefaultModel = null.nif }
        UnitModel Absent { }
        UnitModel Scout { DefaultModel = archer; States [ { ModelName = horse.nif; AnimName = gallop } ] }
        UnitModel Ghost { DefaultModel = ghost.nif }
    )",
          ZipFiles()
              .add("m/archer.nifcache", "")
              .add("m/ARCHER_WE.nifcache", "")
              .add("m/archer_am.nifcache", "")
              .add("m/archer_xx.nifcache", "")
              .add("m/horse_fe.nifcache", "")
              .add("m/null.nifcache", "")
              .add("m/none.nifcache", "")
              .add("a/walk.kf", "")
              .add("a/idle.kf", "")
              .add("a/gallop.kf", ""));
    const std::vector<ModelJob> jobs = list_model_jobs(*db_, archives());
    std::string out;
    for (const ModelJob& job : jobs) {
        out += job.unit + " " + job.model + " " + show(DdfValue::list([&] {
                   std::vector<DdfValue> kf;
                   for (const auto& f : job.kf_files) kf.push_back(DdfValue::string(f));
                   return kf;
               }())) + "\n";
    }
    EXPECT_EQ(out,
              "Archer archer ['walk.kf', 'idle.kf']\n"
              "Archer archer_we ['walk.kf', 'idle.kf']\n"
              "Archer archer_am ['walk.kf', 'idle.kf']\n"
              "Scout horse_fe ['gallop.kf']\n");
}

}  // namespace
}  // namespace tarkeep::data
