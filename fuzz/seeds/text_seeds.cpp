// Definition-file and CSV table seeds: every construct of both grammars, comments of each
// kind, quoting and escapes, and the tables of the sample game.
#include <string>

#include "data/ddf_parser.h"
#include "fuzz/seeds/seed_corpus.h"
#include "tools/sample_game/sample_game_parts.h"

namespace tarkeep::fuzz {
namespace {

// Nested blocks, typed blocks in lists, flag groups, every atom kind, duplicate keys.
constexpr const char* kUnitsDdf = R"(// Shared infantry look
UnitModel InfantryBase
{
    Scale = 1.0f;
    DefaultModel = "Models\\Units\\Footman.nif";
    Flags = (Selectable | "Has Shadow" | mipmap);
    States
    [
        { StateName = Idle; AnimName = "Anims/footman_idle.kf" }
        { StateName = Walk; AnimName = footman_walk; AnimVariants = [ footman_walk2, footman_walk3 ] }
        Death { AnimName = footman_death; Frames = 007 }
        4, -2.5e3, +.5F, 1.0.0, 99999999999999999999
        (a | b)
    ]
    Sound dying.wav
    Sound charge.wav
    Sound = [x]
    Sound = y
    Empty = ;
    Nested { Inner { Deep = [ ] } }
}
)";

constexpr const char* kCommentsDdf = R"(/* Archers: light infantry with bows.
   Their model keeps the feathers in the texture's alpha. */
UnitModel "Archer"
{
    Parent InfantryBase # the shared look
    Name = "say \"hi\"\tthere"; Count = -0 ;; ,
    a#b = 1e3 /* inline */ Empty = }
,;
Rule "Knight" { Health = 120, Armor = 3.25 }
)";

constexpr const char* kUnclosedDdf = R"(UnitModel Ghost
{
    DefaultModel = null;
    States [ { StateName = Idle } ]
    Text = "never
)";

constexpr const char* kWindowsDdf = "Rule\tSiege\r\n{\r\n\tRange = 12\r\n\tAmmo = [ stone \"fire pot\" ]\r\n}\r\n";

// Quoted cells with commas, doubled quotes and line breaks, list cells, every line break.
constexpr const char* kQuotedCsv =
    "// Name, Texture, X, Y, W, H, Flags\r\n"
    "// -unused, a b, c\r\n"
    "\"Archer, red\",ui\\Tex\\Icons.TGA,0,32,32,32,(mipmap|HasAlpha)\r\n"
    "Knight,\"ui/tex/\"\"icons\"\".dds\",+32,0,32,-32,512\n"
    "\"multi\nline\",[a b  c],[],[x,1.5f\r"
    "  // indented comment\n"
    "\x0b\x0c"
    "short,row\x85"
    "unclosed,\"quote";

constexpr const char* kPlainCsv = "1,2,3\n\n  \n4.5,stone,\n,,\n7e2,-8,+9f";

// Blocks and lists by turns, as deep as a file may nest them.
std::string deepest_ddf() {
    std::string text = "Deep nest {", closing = "}";
    for (std::size_t depth = 2; depth <= data::kMaxDdfNesting; ++depth) {
        text += depth % 2 ? " {" : " k [";
        closing.insert(0, depth % 2 ? "}" : "]");
    }
    return text + closing;
}

}  // namespace

std::vector<Seed> ddf_seeds() {
    return {{"units.ddf", text_bytes(kUnitsDdf)},
            {"comments.ddf", text_bytes(kCommentsDdf)},
            {"unclosed.ddf", text_bytes(kUnclosedDdf)},
            {"windows.ddf", text_bytes(kWindowsDdf)},
            {"deepest.ddf", text_bytes(deepest_ddf())}};
}

std::vector<Seed> csv_seeds() {
    using namespace tarkeep::sample_game::parts;
    std::vector<Seed> seeds = {{"quoted.csv", text_bytes(kQuotedCsv)}, {"plain.csv", text_bytes(kPlainCsv)}};
    const TerrainPlan plan = plan_terrain(sample_game::SampleSize::small);
    const ClimatePlan& climate = plan.climates.front();
    seeds.push_back({"terrain.csv", text_bytes(terrain_table_text(climate))});
    seeds.push_back({"seasonal_sets.csv", text_bytes(seasonal_sets_text(climate))});
    const UiLayout layout = ui_layout(sample_game::SampleSize::small);
    seeds.push_back({"sprites_icons.csv", text_bytes(sprite_tables_icons_text(layout, true))});
    seeds.push_back({"sprites_hud.csv", text_bytes(sprite_table_hud_text(layout))});
    return seeds;
}

}  // namespace tarkeep::fuzz
