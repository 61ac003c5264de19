#include "tools/sample_game/sample_game_parts.h"

namespace tarkeep::sample_game::parts {
namespace {

// Loaded first by the unit file list; every infantry unit builds on it.
constexpr const char* kInfantryDdf = R"(// Shared infantry look
UnitModel InfantryBase
{
    Scale = 1.0f;
    DefaultModel = "Models\Units\Footman.nif";
    States
    [
        { StateName = Idle; AnimName = "Anims/footman_idle.kf" }
        { StateName = Walk; AnimName = footman_walk; AnimVariants = [ footman_walk2 footman_walk3 ] }
        { StateName = Death; AnimName = footman_death }
    ]
}

UnitModel Footman
{
    Parent = InfantryBase;
}
)";

constexpr const char* kArcherDdf = R"(/* Archers: light infantry with bows.
   Their model keeps the feathers in the texture's alpha. */
UnitModel Archer
{
    Parent = InfantryBase
    DefaultModel = "Models/Units/Archer.nif"
    Scale = 0.95f
    States
    [
        { StateName = Idle; AnimName = archer_idle }
        { StateName = Attack; AnimName = "archer_shoot.kf"; ModelName = archer }
    ]
}
)";

constexpr const char* kKnightDdf = R"(UnitModel "Knight"
{
    Parent = InfantryBase;
    DefaultModel = knight;
    DefaultModelList = [ knight knight_banner ];
    Scale = 1.2f;
    States
    [
        { StateName = Walk; AnimName = knight_charge }
        { StateName = Charge; AnimName = knight_charge; AnimVariants = [ knight_charge ] }
    ]
}

UnitModel Herald
{
    Parent = Knight;
    DefaultModel = "Models/Units/Banner.nif";
}
)";

constexpr const char* kSiegeDdf = R"(# Siege engines
UnitModel Catapult
{
    DefaultModel = catapult;
    States
    [
        { StateName = Idle }
        { StateName = Fire; AnimName = catapult_fire }
        { StateName = Packed; ModelName = "_state_packed" }
    ]
}

UnitModel Ghost
{
    DefaultModel = null;
}
)";

// Game rules for the units above; not unit models, but loaded all the same.
constexpr const char* kUnitsDdf =
    R"(Unit Footman { Model = Footman; Cost = [ 50 0 ]; Flags = (Infantry | Melee); Speed = 1.5f }
Unit Archer { Model = Archer; Cost = [ 40 20 ]; Flags = (Infantry | Ranged); Range = 6 }
Unit Knight { Model = Knight; Cost = [ 120 40 ]; Flags = (Cavalry | Melee); Upgrades [ Lance { Damage = 3 } Barding { Armour = 2 } ] }
Unit Catapult { Model = Catapult; Cost = [ 150 80 ]; Flags = (Siege) }
)";

// A later file tunes one unit model again; the later definition wins.
constexpr const char* kBalanceDdf = R"(// Balance patch
UnitModel Catapult
{
    DefaultModel = "Models/Siege/Catapult.nif";
    Scale = 1.4f;
    States
    [
        { StateName = Idle }
        { StateName = Fire; AnimName = catapult_fire }
    ]
}
)";

constexpr const char* kUnitFileList =
    "// Unit definition files, in load order\r\n"
    "\"DB\\Units\\infantry.ddf\"\r\n"
    "DB/Units/archer.ddf\r\n"
    "\r\n"
    "db\\units\\knight.ddf\r\n"
    "  DB\\Units\\Siege.DDF  \r\n"
    "DB\\Units\\removed_unit.ddf\r\n";

}  // namespace

void add_database(const TerrainPlan& plan, SampleSize size, ArchiveSet& archives, SampleGameSummary& summary) {
    std::vector<ArchiveFile>& db = archives[kDbArchive];
    const auto add = [&db](std::string relative, std::string_view text) {
        db.push_back({"DB/" + relative, text_bytes(text), true});
    };
    db.push_back({"DB/", {}, false});
    add("dbunitfiles.cfg", kUnitFileList);
    for (const ClimatePlan& climate : plan.climates) {
        std::string lower = climate.name;
        for (char& c : lower) c = static_cast<char>(c | 0x20);
        add("Terrain/dbterrain_" + lower + ".csv", terrain_table_text(climate));
        add("Terrain/DbSeasonalTextureSets_" + climate.name + ".csv", seasonal_sets_text(climate));
    }
    const std::pair<const char*, const char*> definition_files[] = {
        {"Rules/units.ddf", kUnitsDdf},   {"Units/Siege.DDF", kSiegeDdf},       {"Units/knight.ddf", kKnightDdf},
        {"Units/archer.ddf", kArcherDdf}, {"Units/infantry.ddf", kInfantryDdf}, {"Rules/zz_balance.ddf", kBalanceDdf},
    };
    for (const auto& [name, text] : definition_files) add(name, text);
    summary.definition_files = std::size(definition_files);
    summary.unit_models = 7;  // InfantryBase, Footman, Archer, Knight, Herald, Catapult, Ghost

    const UiLayout layout = ui_layout(size);
    add("UI/PackedSprites/dbsprite_unitIcons_packed.csv", sprite_tables_icons_text(layout, false));
    add("UI/PackedSprites/dbsprite_unitActions_packed.csv", sprite_tables_icons_text(layout, true));
    add("UI/PackedSprites/dbsprite_hud_packed.csv", sprite_table_hud_text(layout));
    add("UI/PackedSprites/dbsprite_cursor_packed.csv", sprite_table_cursor_text(layout));
    add("UI/readme.txt", "Sprite tables: name, texture, x, y, width, height, flags\n");
}

}  // namespace tarkeep::sample_game::parts
