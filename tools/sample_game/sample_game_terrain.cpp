#include <array>
#include <cctype>

#include "tools/sample_game/sample_game_parts.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::sample_game::parts {

using data::dxt_texcache;
namespace {

constexpr std::uint32_t kDxt1 = 4;
constexpr std::uint32_t kDxt5 = 6;

enum Climate : std::uint8_t { arid = 1, temperate = 2, tropical = 4 };

// Which climates draw each material, in material order.
constexpr std::array<std::uint8_t, kTerrainMaterialCount> kClimatesOfMaterial = {
    temperate | tropical,         // grass
    arid | tropical,              // sand
    arid | temperate | tropical,  // rock
    temperate,                    // snow
    temperate | tropical,         // mud
    arid | temperate,             // dirt
    arid,                         // gravel
    temperate | tropical,         // moss
    arid,                         // clay
    temperate,                    // pebbles
    tropical,                     // leaves
    arid,                         // ash
};

struct SizeProfile {
    std::size_t textures;
    std::uint32_t sides[4];  // by texture index modulo 4
};

SizeProfile profile(SampleSize size) {
    switch (size) {
        case SampleSize::small: return {6, {128, 64, 128, 64}};
        case SampleSize::medium: return {24, {512, 256, 256, 512}};
        case SampleSize::large: return {60, {1024, 512, 256, 256}};
    }
    return {6, {128, 64, 128, 64}};
}

std::string capitalised(std::string_view word) {
    std::string text(word);
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

// "ter_grass_2" -> "Ter_Grass_2".
std::string title_case(std::string_view stem) {
    std::string text(stem);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 0 || text[i - 1] == '_')
            text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    return text;
}

// The game's tables name textures loosely: mixed case, a .tga or .dds extension or none.
std::string written_texture_name(std::string_view stem, std::size_t style) {
    std::string text(stem);
    switch (style % 4) {
        case 0: return text + ".tga";
        case 1: return title_case(stem) + ".dds";
        case 2:
            for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return text + ".TGA";
        default: return text;
    }
}

constexpr std::array<std::pair<const char*, Climate>, 3> kClimates = {
    {{"Arid", arid}, {"Temperate", temperate}, {"Tropical", tropical}}};

}  // namespace

TerrainPlan plan_terrain(SampleSize size) {
    const SizeProfile sizes = profile(size);
    TerrainPlan plan;
    for (std::size_t i = 0; i < sizes.textures; ++i) {
        TerrainTexturePlan texture;
        texture.material = static_cast<TerrainMaterial>(i % kTerrainMaterialCount);
        texture.variant = static_cast<int>(i / kTerrainMaterialCount);
        texture.stem = "ter_" + std::string(material_name(texture.material));
        if (texture.variant > 0) texture.stem += "_" + std::to_string(texture.variant + 1);
        texture.side = sizes.sides[i % 4];
        texture.format = i % 4 == 3 ? kDxt5 : kDxt1;
        // Spread over two archives; the entry names do not all share one letter case.
        if (i % 2 == 0) {
            texture.archive = kTerrainArchive;
            texture.entry = "Art/Terrain/" + (i % 4 == 0 ? title_case(texture.stem) : texture.stem) + ".texcache";
        } else {
            texture.archive = kArtArchive;
            texture.entry = "art/terrain/" + texture.stem + ".texcache";
        }
        plan.textures.push_back(std::move(texture));
    }
    plan.overridden = 1 % plan.textures.size();

    std::size_t style = 0;
    for (const auto& [climate_name, climate] : kClimates) {
        ClimatePlan out;
        out.name = climate_name;
        const std::string* winter = nullptr;
        for (const TerrainTexturePlan& texture : plan.textures) {
            if (texture.material == TerrainMaterial::snow && texture.variant == 0) winter = &texture.stem;
        }
        for (std::size_t m = 0; m < kTerrainMaterialCount; ++m) {
            if ((kClimatesOfMaterial[m] & climate) == 0) continue;
            const auto material = static_cast<TerrainMaterial>(m);
            SeasonalSetPlan set;
            set.name = out.name + capitalised(material_name(material));
            for (const TerrainTexturePlan& texture : plan.textures) {
                if (texture.material == material) set.entries.push_back(written_texture_name(texture.stem, style++));
            }
            if (set.entries.empty()) continue;
            // Temperate ground turns to snow in the last season.
            if (climate == temperate && material != TerrainMaterial::snow && winter != nullptr) {
                set.entries.push_back(written_texture_name(*winter, style++));
            }
            out.types.push_back({capitalised(material_name(material)), set.name});
            out.sets.push_back(std::move(set));
        }
        if (climate == arid) {
            // Cliffs use one texture the whole year.
            out.types.push_back({"Cliff", "AridCliff"});
            out.sets.push_back({"AridCliff", {written_texture_name(plan.textures[2 % plan.textures.size()].stem, 1)}});
            out.types.push_back({std::string(kSampleMissingTextureType), "AridLava"});
            out.sets.push_back({"AridLava", {"ter_lava.dds", "Ter_Lava_Cool.tga"}});
        }
        out.types.push_back({std::string(kSampleUntexturedType), ""});
        plan.climates.push_back(std::move(out));
    }
    return plan;
}

std::string terrain_table_text(const ClimatePlan& climate) {
    std::string text = "// Terrain types of the " + climate.name + " climate\n";
    text += "// Terrain Type, High detail texture, Low detail texture, MoveCost, Buildable, MinimapColour\n";
    text += "// ------------, -------------------\n";
    std::size_t row = 0;
    for (const TerrainTypePlan& type : climate.types) {
        const std::string low = type.set.empty() ? "water_low.tga" : "low_" + type.type + ".tga";
        const std::string cost = type.set.empty() ? "0" : std::to_string(1 + row % 3) + ".5";
        std::string colour = "[";
        colour.append(std::to_string(40 + row * 17 % 200)).append(" ");
        colour.append(std::to_string(90 + row * 31 % 150)).append(" ");
        colour.append(std::to_string(30 + row * 13 % 120)).append("]");
        // Some rows quote their cells; the type with no texture leaves its cell empty.
        if (row % 3 == 1) {
            text += "\"" + type.type + "\",\"" + type.set + "\"," + low + "," + cost + ",1,\"" + colour + "\"\n";
        } else {
            text += type.type + ", " + type.set + ", " + low + ", " + cost + ", " + (type.set.empty() ? "0" : "1") +
                    ", " + colour + "\n";
        }
        ++row;
    }
    return text;
}

std::string seasonal_sets_text(const ClimatePlan& climate) {
    std::string text;
    std::string line_end = "\n";
    if (climate.name == "Tropical") line_end = "\r\n";
    text += "// Seasonal texture sets (" + climate.name + "): one texture per season, repeating" + line_end;
    text += "// SetName, Textures, Comment" + line_end;
    if (climate.name == "Arid") text += line_end + line_end;
    text += "#Retired, ter_old_grass.tga ter_old_sand.tga" + line_end;
    std::size_t row = 0;
    for (const SeasonalSetPlan& set : climate.sets) {
        std::string entries;
        for (const std::string& entry : set.entries) {
            if (!entries.empty()) entries += climate.name == "Tropical" ? "  \t" : " ";
            entries += entry;
        }
        if (climate.name == "Temperate") {
            text += "\"" + set.name + "\",\"" + entries + "\"" + (row % 2 == 0 ? "," : ",\"seasonal, four steps\"") +
                    line_end;
        } else {
            text += set.name + ",  " + entries + " " + line_end;
        }
        if (climate.name == "Arid") text += line_end;  // the game's files have stray blank lines
        ++row;
    }
    return text;
}

void add_terrain_textures(const TerrainPlan& plan, std::uint64_t seed, ArchiveSet& archives,
                          SampleGameSummary& summary) {
    summary.terrain_min_side = UINT32_MAX;
    for (std::size_t i = 0; i < plan.textures.size(); ++i) {
        const TerrainTexturePlan& texture = plan.textures[i];
        const bool with_height = texture.format == kDxt5;
        const std::uint64_t texture_seed = mix64(seed * 1000003 + i);
        const auto rgba = tileable_texture(texture.material, texture.side, texture.side, texture_seed, with_height);
        archives[texture.archive].push_back(
            {texture.entry, dxt_texcache(rgba, texture.side, texture.side, texture.format, true)});
        if (i == plan.overridden) {
            // A later patch archive ships a reworked version of this texture.
            const auto newer =
                tileable_texture(texture.material, texture.side, texture.side, mix64(texture_seed), with_height);
            archives[kPatchArchive].push_back({"Art/Terrain/Patched/" + texture.stem + ".texcache",
                                               dxt_texcache(newer, texture.side, texture.side, texture.format, true),
                                               true});
            ++summary.terrain_overridden;
        }
        ++summary.terrain_textures;
        if (texture.format == kDxt5) ++summary.terrain_dxt5;
        summary.terrain_min_side = std::min(summary.terrain_min_side, texture.side);
        summary.terrain_max_side = std::max(summary.terrain_max_side, texture.side);
        summary.terrain_mip0_pixels += std::uint64_t{texture.side} * texture.side;
    }
    for (const ClimatePlan& climate : plan.climates) {
        summary.terrain_types += climate.types.size();
        summary.seasonal_sets += climate.sets.size();
    }
}

std::vector<std::uint8_t> text_bytes(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace tarkeep::sample_game::parts
