// Render properties. They derive from NiObjectNET directly (no property base class).
#pragma once
#include <array>
#include <memory>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NiAlphaProperty : NiObjectNET {
    bool operator==(const NiAlphaProperty&) const = default;

    std::uint16_t flags = 0;
    std::uint8_t threshold = 0;
};

// "NiSpecularProperty", "NiWireframeProperty", "NiDitherProperty", "NiShadeProperty".
struct NiFlagsProperty : NiObjectNET {
    bool operator==(const NiFlagsProperty&) const = default;

    std::uint16_t flags = 0;
};

struct NiZBufferProperty : NiObjectNET {
    bool operator==(const NiZBufferProperty&) const = default;

    std::uint16_t flags = 0;
    std::uint32_t function = 0;
};

struct NiVertexColorProperty : NiObjectNET {
    bool operator==(const NiVertexColorProperty&) const = default;

    std::uint16_t flags = 0;
    std::uint32_t vertex_mode = 0;
    std::uint32_t lighting_mode = 0;
};

struct NiStencilProperty : NiObjectNET {
    bool operator==(const NiStencilProperty&) const = default;

    std::uint8_t enabled = 0;
    std::uint32_t function = 0;
    std::uint32_t reference = 0;
    std::uint32_t mask = 0;
    std::uint32_t fail = 0;
    std::uint32_t zfail = 0;
    std::uint32_t pass = 0;
    std::uint32_t draw_mode = 0;
};

struct NiMaterialProperty : NiObjectNET {
    bool operator==(const NiMaterialProperty&) const = default;

    NifColor3 ambient;
    NifColor3 diffuse;
    NifColor3 specular;
    NifColor3 emissive;
    float glossiness = 0;
    float alpha = 1;
};

std::unique_ptr<NiObject> read_ni_alpha_property(NifReader& reader);
std::unique_ptr<NiObject> read_ni_flags_property(NifReader& reader);
std::unique_ptr<NiObject> read_ni_z_buffer_property(NifReader& reader);
std::unique_ptr<NiObject> read_ni_vertex_color_property(NifReader& reader);
std::unique_ptr<NiObject> read_ni_stencil_property(NifReader& reader);
std::unique_ptr<NiObject> read_ni_material_property(NifReader& reader);

}  // namespace tarkeep::data
