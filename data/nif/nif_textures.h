// Texturing property, source textures and embedded pixel data.
#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NifTextureTransform {
    NifTexCoord translation;
    NifTexCoord scale;
    float rotation = 0;
    std::uint32_t method = 0;
    NifTexCoord center;
    bool operator==(const NifTextureTransform&) const = default;
};

struct NifTextureDesc {
    NifRef source = kNoRef;
    std::uint32_t clamp = 0;
    std::uint32_t filter = 0;
    std::uint32_t uv_set = 0;
    std::array<std::uint16_t, 2> unused{};  // carried, meaning unknown
    bool has_transform = false;
    NifTextureTransform transform;
    bool operator==(const NifTextureDesc&) const = default;
};

struct NifTextureSlot {
    bool present = false;
    NifTextureDesc desc;
    bool operator==(const NifTextureSlot&) const = default;
};

struct NifShaderTexture {
    bool present = false;
    NifTextureDesc desc;
    std::uint32_t map_id = 0;
    bool operator==(const NifShaderTexture&) const = default;
};

enum NifTextureSlotIndex : std::size_t {
    kSlotBase = 0,
    kSlotDark,
    kSlotDetail,
    kSlotGloss,
    kSlotGlow,
    kSlotBump,
    kSlotDecal0,
    kSlotDecal1,
    kTextureSlotCount
};
inline constexpr std::array<const char*, kTextureSlotCount> kTextureSlotNames{"base", "dark", "detail", "gloss",
                                                                              "glow", "bump", "decal0", "decal1"};

// Number of slot flags a property with `texture_count` has in the file: at least six,
// at most eight.
std::size_t visited_texture_slots(std::uint32_t texture_count);

struct NiTexturingProperty : NiObjectNET {
    bool operator==(const NiTexturingProperty&) const = default;

    std::uint32_t apply_mode = 0;
    std::uint32_t texture_count = 0;
    std::array<NifTextureSlot, kTextureSlotCount> slots{};  // slots not in the file stay absent
    std::array<float, 2> luma{};                            // bump slot only: scale, offset
    std::array<float, 4> matrix{};                          // bump slot only: 2 x 2
    std::vector<NifShaderTexture> shader_textures;
};

struct NiSourceTexture : NiObjectNET {
    bool operator==(const NiSourceTexture&) const = default;

    std::uint8_t external = 0;
    std::string file_name;
    NifRef unknown_link = kNoRef;  // read when external
    NifRef pixel_data = kNoRef;    // read when embedded
    std::uint32_t pixel_layout = 0;
    std::uint32_t use_mipmaps = 0;
    std::uint32_t alpha_format = 0;
    std::uint8_t is_static = 0;
};

struct NifMipmap {
    std::uint32_t width = 0, height = 0, offset = 0;
    bool operator==(const NifMipmap&) const = default;
};

static_assert(sizeof(NifMipmap) == 12);

// The pixels themselves stay in the file: users read num_pixels bytes at pixels_offset.
struct NiPixelData : NiObject {
    bool operator==(const NiPixelData&) const = default;

    std::uint32_t format = 0;
    std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
    std::uint32_t bits_per_pixel = 0;
    std::array<std::uint8_t, 8> fast_compare{};
    std::uint32_t tiling = 0;
    NifRef palette = kNoRef;
    std::uint32_t bytes_per_pixel = 0;
    std::vector<NifMipmap> mipmaps;
    std::uint32_t num_pixels = 0;
    std::size_t pixels_offset = 0;
};

std::unique_ptr<NiObject> read_ni_texturing_property(NifReader& reader);
std::unique_ptr<NiObject> read_ni_source_texture(NifReader& reader);
std::unique_ptr<NiObject> read_ni_pixel_data(NifReader& reader);

}  // namespace tarkeep::data
