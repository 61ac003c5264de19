// The game database: its root, definition load order, later definitions winning, broken files skipped.
#include <gtest/gtest.h>

#include <tuple>

#include <string>
#include <vector>

#include "data/game_db.h"
#include "ddf_show.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

using test::DbZipBuilder;
using test::ZipFiles;
using Names = std::vector<std::string>;

class GameDbTest : public testing::Test {
protected:
    GameDb open(const ZipFiles& files) {
        files.write(temp / "db.zip");
        return GameDb(temp / "db.zip");
    }
    GameDb open(const DbZipBuilder& db) { return open(db.files()); }

    test::TempDir temp;
};

TEST_F(GameDbTest, RootLoadOrderOverridesAndBrokenFiles) {
    EXPECT_EQ(test::error_text<io::ZipError>([&] { open(ZipFiles()); }),
              "empty archive: " + (temp / "db.zip").string());
    const GameDb db = open(DbZipBuilder("DB")
                               .add("units/a.ddf", "")
                               .add("units/B.DDF", "")
                               .add("units/c.ddf.txt", "")
                               .add(".ddf", "")
                               .add("Terrain/x.csv", "x"));
    EXPECT_EQ(db.root(), "DB");
    EXPECT_EQ(db.definition_files(), (Names{"DB/units/a.ddf", "DB/units/B.DDF", "DB/.ddf"}));
    EXPECT_EQ(db.read_text("DB/Terrain/x.csv"), "x");
    // Paths are exact, letter case included.
    EXPECT_THROW(db.read_text("DB/terrain/x.csv"), io::ZipError);

    const GameDb flat = open(ZipFiles().add("readme.txt", "r").add("ddf", "").add("x/y.Ddf", ""));
    EXPECT_EQ(flat.root(), "readme.txt");
    EXPECT_EQ(flat.definition_files(), (Names{"x/y.Ddf"}));
    const std::tuple<const char*, DbZipBuilder, Names> orders[] = {
        {"listed files first, case-blind, then the rest in archive order",
         DbZipBuilder("DB")
             .add("other/z.ddf", "")
             .add("Units/Archer.ddf", "")
             .add("units/b.ddf", "")
             .add("dbunitfiles.cfg",
                  "// comment line\r\n  \"DB\\Units\\archer.ddf\"  \r\n\ndb/missing.ddf\n\"\"\nDB/UNITS/B.DDF\n"
                  "db\\units\\archer.ddf")
             .add("last.ddf", ""),
         {"DB/Units/Archer.ddf", "DB/units/b.ddf", "DB/Units/Archer.ddf", "DB/other/z.ddf", "DB/last.ddf"}},
        {"db/ stands for the root folder, whatever its name",
         DbZipBuilder("Data").add("u/a.ddf", "").add("u/b.ddf", "").add("dbunitfiles.cfg", "DB/u/b.ddf\nu/a.ddf"),
         {"Data/u/b.ddf", "Data/u/a.ddf"}},
        {"without a list, archive order",
         DbZipBuilder("DB").add("b.ddf", "").add("a.ddf", ""),
         {"DB/b.ddf", "DB/a.ddf"}}};
    for (const auto& [name, db, order] : orders) EXPECT_EQ(open(db).load_order(), order) << name;
    const GameDb later =
        open(DbZipBuilder("DB")
                 .add("one.ddf", "UnitModel Archer { Hp = 1 } UnitModel Bowman { Hp = 5 }")
                 .add("two.ddf", "UnitModel Spear { Hp = 3 } UnitModel Archer { Hp = 2 } Tech Archer { X = 1 }"));
    EXPECT_EQ(later.overrides(), 1u);
    EXPECT_EQ(later.names_of_type("UnitModel"), (Names{"Archer", "Bowman", "Spear"}));
    EXPECT_TRUE(later.names_of_type("unitmodel").empty());
    ASSERT_NE(later.find_definition("UnitModel", "Archer"), nullptr);
    EXPECT_EQ(test::show(*later.find_definition("UnitModel", "Archer")), "{Hp: 2}");
    EXPECT_EQ(later.definitions().at({"UnitModel", "Archer"}).source, "DB/two.ddf");
    EXPECT_EQ(later.find_definition("UnitModel", "archer"), nullptr);
    EXPECT_EQ(test::show(*later.find_definition("Tech", "Archer")), "{X: 1}");
    const GameDb broken = open(DbZipBuilder("DB")
                                   .add("good.ddf", "UnitModel A { Hp = 1 }")
                                   .add("bad.ddf", "UnitModel B { Hp = ) } UnitModel C {}")
                                   .add("open.ddf", "UnitModel D { Hp = 4"));
    EXPECT_EQ(broken.errors(), (Names{"DB/bad.ddf: unexpected ('p', ')') as value"}));
    EXPECT_EQ(broken.warnings(), (Names{"DB/open.ddf: unclosed block at end of file"}));
    EXPECT_EQ(broken.names_of_type("UnitModel"), (Names{"A", "D"}));
    EXPECT_EQ(test::show(*broken.find_definition("UnitModel", "D")), "{Hp: 4}");
}

}  // namespace
}  // namespace tarkeep::data
