// Readers of the texturing property, source textures and pixel data blocks.
#include "data/nif/nif_textures.h"

#include <algorithm>

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

namespace {

NifTextureDesc read_texture_desc(NifReader& reader) {
    NifTextureDesc desc;
    desc.source = reader.ref();
    desc.clamp = reader.u32();
    desc.filter = reader.u32();
    desc.uv_set = reader.u32();
    reader.values_into(desc.unused);
    desc.has_transform = reader.bool8();
    if (desc.has_transform) {
        desc.transform.translation = reader.value<NifTexCoord>();
        desc.transform.scale = reader.value<NifTexCoord>();
        desc.transform.rotation = reader.f32();
        desc.transform.method = reader.u32();
        desc.transform.center = reader.value<NifTexCoord>();
    }
    return desc;
}

}  // namespace

std::size_t visited_texture_slots(std::uint32_t texture_count) {
    return std::clamp<std::size_t>(texture_count, 6, kTextureSlotCount);
}

std::unique_ptr<NiObject> read_ni_texturing_property(NifReader& reader) {
    auto property = std::make_unique<NiTexturingProperty>();
    read_object_net_fields(reader, *property);
    property->apply_mode = reader.u32();
    property->texture_count = reader.u32();
    const std::size_t slots = visited_texture_slots(property->texture_count);
    for (std::size_t i = 0; i < slots; ++i) {
        NifTextureSlot& slot = property->slots[i];
        slot.present = reader.bool8();
        if (!slot.present) continue;
        slot.desc = read_texture_desc(reader);
        if (i == kSlotBump) {
            reader.values_into(property->luma);
            reader.values_into(property->matrix);
        }
    }
    const std::uint32_t shader_count = reader.u32();
    reader.require_elements(shader_count, 1);
    property->shader_textures.reserve(shader_count);
    for (std::uint32_t i = 0; i < shader_count; ++i) {
        NifShaderTexture& shader = property->shader_textures.emplace_back();
        shader.present = reader.bool8();
        if (!shader.present) continue;
        shader.desc = read_texture_desc(reader);
        shader.map_id = reader.u32();
    }
    return property;
}

std::unique_ptr<NiObject> read_ni_source_texture(NifReader& reader) {
    auto texture = std::make_unique<NiSourceTexture>();
    read_object_net_fields(reader, *texture);
    texture->external = reader.u8();
    texture->file_name = reader.string();
    if (texture->external != 0) {
        texture->unknown_link = reader.ref();
    } else {
        texture->pixel_data = reader.ref();
    }
    texture->pixel_layout = reader.u32();
    texture->use_mipmaps = reader.u32();
    texture->alpha_format = reader.u32();
    texture->is_static = reader.u8();
    return texture;
}

std::unique_ptr<NiObject> read_ni_pixel_data(NifReader& reader) {
    auto pixels = std::make_unique<NiPixelData>();
    pixels->format = reader.u32();
    reader.values_into(pixels->masks);
    pixels->bits_per_pixel = reader.u32();
    reader.values_into(pixels->fast_compare);
    pixels->tiling = reader.u32();
    pixels->palette = reader.ref();
    const std::uint32_t mipmap_count = reader.u32();
    pixels->bytes_per_pixel = reader.u32();
    pixels->mipmaps = reader.values<NifMipmap>(mipmap_count);
    pixels->num_pixels = reader.u32();
    pixels->pixels_offset = reader.position();
    reader.skip(pixels->num_pixels);
    return pixels;
}

}  // namespace tarkeep::data
