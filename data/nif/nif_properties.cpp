// Readers of the render property blocks: alpha, flags, z-buffer, vertex colour, stencil, material.
#include "data/nif/nif_properties.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

std::unique_ptr<NiObject> read_ni_alpha_property(NifReader& reader) {
    auto property = std::make_unique<NiAlphaProperty>();
    read_object_net_fields(reader, *property);
    property->flags = reader.u16();
    property->threshold = reader.u8();
    return property;
}

std::unique_ptr<NiObject> read_ni_flags_property(NifReader& reader) {
    auto property = std::make_unique<NiFlagsProperty>();
    read_object_net_fields(reader, *property);
    property->flags = reader.u16();
    return property;
}

std::unique_ptr<NiObject> read_ni_z_buffer_property(NifReader& reader) {
    auto property = std::make_unique<NiZBufferProperty>();
    read_object_net_fields(reader, *property);
    property->flags = reader.u16();
    property->function = reader.u32();
    return property;
}

std::unique_ptr<NiObject> read_ni_vertex_color_property(NifReader& reader) {
    auto property = std::make_unique<NiVertexColorProperty>();
    read_object_net_fields(reader, *property);
    property->flags = reader.u16();
    property->vertex_mode = reader.u32();
    property->lighting_mode = reader.u32();
    return property;
}

std::unique_ptr<NiObject> read_ni_stencil_property(NifReader& reader) {
    auto property = std::make_unique<NiStencilProperty>();
    read_object_net_fields(reader, *property);
    property->enabled = reader.u8();
    property->function = reader.u32();
    property->reference = reader.u32();
    property->mask = reader.u32();
    property->fail = reader.u32();
    property->zfail = reader.u32();
    property->pass = reader.u32();
    property->draw_mode = reader.u32();
    return property;
}

std::unique_ptr<NiObject> read_ni_material_property(NifReader& reader) {
    auto property = std::make_unique<NiMaterialProperty>();
    read_object_net_fields(reader, *property);
    property->ambient = reader.value<NifColor3>();
    property->diffuse = reader.value<NifColor3>();
    property->specular = reader.value<NifColor3>();
    property->emissive = reader.value<NifColor3>();
    property->glossiness = reader.f32();
    property->alpha = reader.f32();
    return property;
}

}  // namespace tarkeep::data
