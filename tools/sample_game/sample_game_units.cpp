#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

#include "data/nif/nif_blocks.h"
#include "data/texture/dxt_encoder.h"
#include "data/nif/nif_writer.h"
#include "data/texture/pcpatch_writer.h"
#include "image/mip_chain.h"
#include "tools/sample_game/sample_game_parts.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::sample_game::parts {
namespace {

using namespace tarkeep::data;

constexpr std::uint32_t kDxt1 = 4;
constexpr std::uint32_t kDxt5 = 6;

struct ModelTexturePlan {
    const char* stem;
    TerrainMaterial material;  // the surface the skin starts from
    std::array<double, 3> tint;
    std::uint32_t scale;  // times the size's base side; 0: a fixed 32-pixel texture
    bool alpha;
    bool mask;
    const char* patch_letters;
    std::uint32_t fixed_width = 0;  // with fixed_height: a strip of this size, whatever the sample size
    std::uint32_t fixed_height = 0;
    bool half_mask = false;  // the mask has half the texture's size
};

constexpr ModelTexturePlan kModelTextures[] = {
    {"unit_footman", TerrainMaterial::dirt, {1.0, 0.9, 0.8}, 1, false, true, "ABC"},
    {"unit_archer", TerrainMaterial::leaves, {0.9, 1.0, 0.8}, 1, true, true, "ABC"},
    {"unit_knight", TerrainMaterial::rock, {1.1, 1.1, 1.2}, 2, false, true, "ABCDEFGHIJK"},
    {"unit_shield", TerrainMaterial::clay, {1.0, 1.0, 1.0}, 1, false, false, "A"},
    {"unit_catapult", TerrainMaterial::leaves, {0.8, 0.7, 0.6}, 1, false, false, ""},
    {"unit_badge", TerrainMaterial::snow, {1.0, 0.9, 0.5}, 0, false, false, ""},
    {"banner_cloth", TerrainMaterial::sand, {1.0, 0.8, 0.8}, 1, true, true, "AB"},
    // Upscaled twice by default (its long side is 512), and above the default maximum.
    {"unit_spear", TerrainMaterial::rock, {0.9, 0.9, 1.0}, 1, true, true, "AD", 512, 64},
    {"wall_frieze", TerrainMaterial::clay, {1.0, 0.95, 0.9}, 1, false, false, "", 1024, 64},
    {"unit_cape", TerrainMaterial::grass, {0.9, 0.8, 1.0}, 1, false, true, "ABE", 0, 0, true},
};

// Named by a model but shipped in no archive.
constexpr const char* kMissingTexture = "unit_ghost";

struct ModelPlan {
    const char* name;
    std::vector<const char*> textures;  // one shape each, in the base slot
    std::vector<const char*> decals;    // further textures of the first shape (decal slots)
};

// Model files (with one regional variant) and the textures their shapes use.
const std::vector<ModelPlan>& model_plans() {
    static const std::vector<ModelPlan> plans = {
        {"footman", {"unit_footman", "unit_shield"}, {}},
        {"archer", {"unit_archer"}, {}},
        {"knight", {"unit_knight", "unit_shield", "unit_badge"}, {}},
        {"knight_we", {"unit_knight"}, {}},
        {"catapult", {"unit_catapult"}, {kMissingTexture}},
        {"banner", {"banner_cloth"}, {}},
        {"spearman", {"unit_spear"}, {"unit_cape"}},
        {"wall", {"wall_frieze"}, {}},
    };
    return plans;
}

constexpr const char* kAnimations[] = {"footman_idle", "footman_walk", "footman_walk2", "footman_death",
                                       "archer_idle",  "archer_shoot", "knight_charge", "catapult_fire"};

constexpr std::array<std::array<double, 3>, 11> kPlayerColours = {{
    {200, 30, 30},
    {30, 60, 200},
    {30, 160, 40},
    {220, 200, 30},
    {230, 120, 20},
    {130, 40, 170},
    {30, 180, 190},
    {230, 110, 170},
    {230, 230, 230},
    {40, 40, 40},
    {120, 70, 30},
}};

std::uint32_t base_side(SampleSize size) {
    switch (size) {
        case SampleSize::small: return 64;
        case SampleSize::medium: return 128;
        case SampleSize::large: return 256;
    }
    return 64;
}

// Where the player's colour shows: a tabard band and an emblem, with soft edges.
double player_colour_weight(double x, double y, double side) {
    const double edge = 1.5 / side;
    const double band = clamp01((y - 0.4) / edge + 0.5) * clamp01((0.6 - y) / edge + 0.5);
    const double distance = std::hypot(x - 0.5, y - 0.2);
    const double emblem = clamp01((0.12 - distance) / edge + 0.5);
    const double weight = std::max(band, emblem);
    return weight < 0.05 ? 0.0 : weight;
}

// Feathers and frayed cloth: the bottom edge is jagged and there are a few holes.
std::uint8_t cut_out_alpha(double x, double y) {
    const double border = 0.82 + 0.08 * std::sin(2 * std::numbers::pi * 5 * x);
    if (y > border) return 0;
    const double hole = std::hypot(x - 0.8, y - 0.7);
    if (hole < 0.05) return 0;
    if (hole < 0.07) return 128;
    return 255;
}

struct SkinImages {
    std::vector<std::uint8_t> neutral;
    std::vector<std::uint8_t> mask;
    std::vector<std::vector<std::uint8_t>> coloured;  // one per patch letter
};

SkinImages skin_images(const ModelTexturePlan& plan, std::uint32_t width, std::uint32_t height, std::uint64_t seed) {
    SkinImages images;
    const std::uint32_t side = std::min(width, height);
    images.neutral = tileable_texture(plan.material, width, height, seed);
    images.mask.assign(std::size_t{width} * height * 4, 255);
    const std::string letters = plan.patch_letters;
    images.coloured.assign(letters.size(), {});
    for (auto& image : images.coloured) image = images.neutral;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width, v = (y + 0.5) / height;
            const std::size_t at = (std::size_t{y} * width + x) * 4;
            std::uint8_t* pixel = images.neutral.data() + at;
            const double weight = player_colour_weight(u, v, side);
            const double luma = 0.3 * pixel[0] + 0.59 * pixel[1] + 0.11 * pixel[2];
            for (int c = 0; c < 3; ++c) {
                const double tinted = std::min(255.0, pixel[c] * plan.tint[c]);
                // The neutral texture shows the player-colour area in grey.
                pixel[c] = static_cast<std::uint8_t>(std::lround(tinted * (1 - weight) + luma * weight));
            }
            pixel[3] = plan.alpha ? cut_out_alpha(u, v) : 255;
            const auto grey = static_cast<std::uint8_t>(std::lround(255 * weight));
            images.mask[at] = images.mask[at + 1] = images.mask[at + 2] = grey;
            for (std::size_t l = 0; l < letters.size(); ++l) {
                std::uint8_t* out = images.coloured[l].data() + at;
                const auto& colour = kPlayerColours[static_cast<std::size_t>(letters[l] - 'A')];
                for (int c = 0; c < 3; ++c) {
                    const double shaded = colour[c] * (0.4 + 0.8 * luma / 255);
                    out[c] = static_cast<std::uint8_t>(
                        std::lround(std::min(255.0, pixel[c] * (1 - weight) + shaded * weight)));
                }
                out[3] = pixel[3];
            }
        }
    }
    return images;
}

// A mask drawn at half the texture's size, as some of the game's are.
std::vector<std::uint8_t> half_mask(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> mask(std::size_t{width} * height * 4, 255);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const double weight = player_colour_weight((x + 0.5) / width, (y + 0.5) / height, std::min(width, height));
            const auto grey = static_cast<std::uint8_t>(std::lround(255 * weight));
            const std::size_t at = (std::size_t{y} * width + x) * 4;
            mask[at] = mask[at + 1] = mask[at + 2] = grey;
        }
    }
    return mask;
}

NifRef add_source_texture(NifFile& file, const std::string& stem, bool alpha) {
    NiSourceTexture source;
    source.external = 1;
    source.file_name = stem;
    source.pixel_layout = 6;
    source.use_mipmaps = 1;
    source.alpha_format = alpha ? 3 : 0;
    source.is_static = 1;
    return add_nif_block(file, "NiSourceTexture", source);
}

std::vector<std::uint8_t> model_nif(const ModelPlan& plan) {
    NifFile file = make_nif_file();
    add_nif_node(file, "Scene Root");
    add_nif_node(file, "Bip01", {}, 0);
    for (std::size_t i = 0; i < plan.textures.size(); ++i) {
        const std::string stem = plan.textures[i];
        const bool alpha = std::any_of(std::begin(kModelTextures), std::end(kModelTextures),
                                       [&](const ModelTexturePlan& t) { return stem == t.stem && t.alpha; });
        const NifRef base = add_source_texture(file, stem, alpha);
        std::vector<NifRef> decals;
        for (std::size_t d = 0; i == 0 && d < plan.decals.size() && d < 2; ++d)
            decals.push_back(add_source_texture(file, plan.decals[d], false));
        NifQuad quad{std::string(plan.name) + ":" + std::to_string(i), {add_nif_texturing(file, base, decals, 2, 2)}};
        if (alpha) {
            NiAlphaProperty blend;
            blend.flags = 0x00ED;
            blend.threshold = 128;
            quad.properties.push_back(add_nif_block(file, "NiAlphaProperty", blend));
        }
        std::tie(quad.parent, quad.translation, quad.center, quad.radius) =
            std::tuple(0, NifVec3{static_cast<float>(i) * 1.5f, 0, 0}, NifVec3{0.5f, 0, 1}, 1.2f);
        add_nif_quad(file, quad);
    }
    file.roots = {0};
    return write_nif(file);
}

std::vector<std::uint8_t> animation_kf(std::string_view name, std::size_t index) {
    NifFile file = make_nif_sequence(std::string(name));
    NiKeyframeData data;
    data.rotation_type = 1;
    const float turn = 0.2f + 0.05f * static_cast<float>(index);
    for (int k = 0; k < 3; ++k) {
        const float angle = turn * static_cast<float>(k == 1);
        data.rotations.push_back({0.5f * static_cast<float>(k), {std::cos(angle / 2), 0, 0, std::sin(angle / 2)}, {}});
    }
    data.num_rotation_keys = 3;
    data.translations.interpolation = 1;
    data.translations.keys = {{0, {0, 0, 0}, {}, {}, {}}, {1, {0, 0.1f * static_cast<float>(index), 0}, {}, {}, {}}};
    add_nif_controller(file, "NiKeyframeController", "Bip01", "NiKeyframeData", std::move(data), 0x48, 1);
    file.roots = {0};
    return write_nif(file);
}

// The DXT levels of `coloured`, reusing the blocks of `base` (the levels of `neutral`)
// wherever the pixels of a block did not change: the encoder works block by block, so
// this gives the same bytes as encoding the whole image, at a fraction of the cost.
TexcacheFields coloured_fields(const TexcacheFields& base, std::vector<std::uint8_t> neutral,
                               std::vector<std::uint8_t> coloured, std::uint32_t width, std::uint32_t height,
                               std::uint32_t format) {
    TexcacheFields fields = base;
    const std::size_t block_bytes = format == kDxt1 ? 8 : 16;
    for (std::size_t level = 0; level < base.mipmaps.size(); ++level) {
        std::uint8_t* out = fields.pixels.data() + base.mipmaps[level].offset;
        if (width < 4 || height < 4) {
            const auto blocks = encode_dxt(coloured.data(), width, height, format, {DxtQuality::fast});
            std::copy(blocks.begin(), blocks.end(), out);
        } else {
            std::vector<std::uint8_t> block(64);
            for (std::uint32_t by = 0; by < height / 4; ++by) {
                for (std::uint32_t bx = 0; bx < width / 4; ++bx) {
                    bool changed = false;
                    for (std::uint32_t row = 0; row < 4; ++row) {
                        const std::size_t at = ((std::size_t{by} * 4 + row) * width + bx * 4) * 4;
                        std::copy_n(coloured.data() + at, 16, block.data() + row * 16);
                        changed |=
                            !std::equal(block.data() + row * 16, block.data() + row * 16 + 16, neutral.data() + at);
                    }
                    if (!changed) continue;
                    const auto encoded = encode_dxt(block.data(), 4, 4, format, {DxtQuality::fast});
                    std::copy(encoded.begin(), encoded.end(), out + (std::size_t{by} * (width / 4) + bx) * block_bytes);
                }
            }
        }
        const image::RgbaImage half =
            image::halve_for_mip({width, height, std::move(neutral)}, image::MipAverage::plain);
        coloured = image::halve_for_mip({width, height, std::move(coloured)}, image::MipAverage::plain).pixels;
        neutral = half.pixels;
        width = half.width;
        height = half.height;
    }
    return fields;
}

}  // namespace

void add_unit_assets(SampleSize size, std::uint64_t seed, ArchiveSet& archives, SampleGameSummary& summary) {
    std::vector<ArchiveFile>& art = archives[kArtArchive];
    std::size_t index = 0;
    for (const ModelTexturePlan& plan : kModelTextures) {
        const std::uint32_t side = plan.scale == 0 ? 32 : base_side(size) * plan.scale;
        const std::uint32_t width = plan.fixed_width != 0 ? plan.fixed_width : side;
        const std::uint32_t height = plan.fixed_height != 0 ? plan.fixed_height : side;
        const std::uint32_t format = plan.alpha ? kDxt5 : kDxt1;
        const SkinImages images = skin_images(plan, width, height, mix64(seed * 7919 + 100 + index++));
        const std::string folder = "Art/Units/";
        const TexcacheFields base = texcache_fields(format, dxt_levels(images.neutral, width, height, format, true));
        art.push_back({folder + plan.stem + ".texcache", write_texcache(base)});
        ++summary.model_textures;
        if (plan.mask) {
            const std::vector<std::uint8_t> mask = plan.half_mask ? half_mask(width / 2, height / 2) : images.mask;
            const std::uint32_t divisor = plan.half_mask ? 2 : 1;
            art.push_back({folder + plan.stem + "_pc.texcache",
                           dxt_texcache(mask, width / divisor, height / divisor, kDxt1, true)});
            ++summary.masks;
        }
        const std::string letters = plan.patch_letters;
        for (std::size_t l = 0; l < letters.size(); ++l) {
            const TexcacheFields coloured =
                coloured_fields(base, images.neutral, images.coloured[l], width, height, format);
            art.push_back(
                {folder + "Colours/" + plan.stem + letters[l] + ".pcpatch", diff_pcpatch(base, coloured), true});
            ++summary.patches;
        }
    }
    std::vector<ArchiveFile>& models = archives[kModelArchive];
    for (const ModelPlan& plan : model_plans()) {
        models.push_back({std::string("Models/Units/") + plan.name + ".nifcache", model_nif(plan), true});
        ++summary.models;
    }
    for (std::size_t i = 0; i < std::size(kAnimations); ++i) {
        models.push_back(
            {std::string("Models/Anims/") + kAnimations[i] + ".kf", animation_kf(kAnimations[i], i), true});
        ++summary.animations;
    }
}

}  // namespace tarkeep::sample_game::parts
