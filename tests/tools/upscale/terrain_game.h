// Game folders for the pipeline tests: a small one with the terrain tables of three climates and
// tileable terrain textures, and the shared sample game.
#pragma once
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/rgba_image.h"
#include "data/game_folder_writer.h"
#include "tools/sample_game/sample_game.h"
#include "tests/support/temp_dir.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::test {

using data::DbZipBuilder;
using data::dxt_texcache;
using data::GameFolderWriter;
using data::ZipFiles;

// A tileable test texture: sinusoids with whole periods across the image, so the wrap
// is seamless, different per seed.
inline data::RgbaImage tileable_texture(std::uint32_t width, std::uint32_t height, int seed) {
    data::RgbaImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 4)};
    constexpr double tau = 6.283185307179586;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const double u = tau * x / width;
            const double v = tau * y / height;
            std::uint8_t* p = &image.pixels[(std::size_t{y} * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(128 + 90 * std::sin(u * (1 + seed % 3) + seed));
            p[1] = static_cast<std::uint8_t>(128 + 90 * std::cos(v * (1 + seed % 2) + 0.5 * seed));
            p[2] = static_cast<std::uint8_t>(128 + 60 * std::sin(u + 2 * v + seed));
            p[3] = 255;
        }
    }
    return image;
}

// A game folder with the three climates' terrain tables and one archive of terrain
// textures. Stems are "t0", "t1", ...; `shared` of them are used by every climate.
struct TerrainGame {
    std::vector<std::string> stems;
};

inline TerrainGame write_terrain_game(const std::filesystem::path& dir, int texture_count, std::uint32_t side) {
    GameFolderWriter game(dir);
    DbZipBuilder db("DB");
    TerrainGame result;
    ZipFiles textures;
    for (int i = 0; i < texture_count; ++i) {
        const std::string stem = "t" + std::to_string(i);
        const auto image = tileable_texture(side, side, i);
        const auto file = dxt_texcache(image.pixels, side, side, 4, true);
        textures.add("art/terrain/" + stem + ".texcache", std::string(file.begin(), file.end()));
        result.stems.push_back(stem);
    }
    const char* climates[] = {"Arid", "Temperate", "Tropical"};
    for (int c = 0; c < 3; ++c) {
        std::string climate = climates[c];
        std::string lower = climate;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::string terrain = "// Terrain Type, High detail texture\n";
        std::string sets;
        // Climate c uses textures c, c+3, c+6, ...; every climate also uses t0 in summer.
        int type = 0;
        for (int i = c; i < texture_count; i += 3, ++type) {
            terrain += "Type" + std::to_string(type) + ", Set" + std::to_string(type) + "\n";
            sets += "Set" + std::to_string(type) + ", T" + std::to_string(i) + ".tga";
            if (c != 0 && type == 0) sets += " t0.dds";
            sets += "\n";
        }
        db.add("Terrain/dbterrain_" + lower + ".csv", terrain);
        db.add("Terrain/DbSeasonalTextureSets_" + climate + ".csv", sets);
    }
    game.add_zip("db.zip", db.files());
    game.add_zip("terrain.zip", textures);
    return result;
}

// A small sample game written once for the whole test program (it is only read).
inline const std::filesystem::path& sample_game() {
    static const TempDir dir;
    static const bool written = (sample_game::write_sample_game(dir.path(), {sample_game::SampleSize::small, 3}), true);
    return written ? dir.path() : dir.path();
}

}  // namespace tarkeep::test
