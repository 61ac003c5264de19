// A glTF 2.0 asset being built in memory, its helpers and the binary (.glb) container.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/gltf/json_value.h"
#include "data/gltf_error.h"

namespace tarkeep::data {

inline constexpr int kTargetNone = 0;
inline constexpr int kTargetVertices = 34962;
inline constexpr int kTargetIndices = 34963;
inline constexpr int kComponentU8 = 5121;
inline constexpr int kComponentU16 = 5123;
inline constexpr int kComponentU32 = 5125;
inline constexpr int kComponentFloat = 5126;

// One buffer, one sampler, one scene; the index of an element is its glTF index.
struct GltfDocument {
    std::vector<std::uint8_t> bin;
    std::vector<JsonValue> nodes, meshes, buffer_views, accessors, materials, textures, images, skins, animations;
    std::vector<std::int64_t> scene_nodes;
    JsonValue scene_extras;  // written when it is a non-empty object
};

// Pads `bin` to a multiple of 4 and appends the bytes as a new buffer view.
std::size_t add_buffer_view(GltfDocument& doc, std::span<const std::uint8_t> bytes, int target);

// 32-bit float accessor over `values` (count = values / components). With `bounds`, "min"
// and "max" per component from the 64-bit inputs. Throws GltfError for bounds of an empty
// accessor, and for a value that is NaN or infinite as a 32-bit float, naming `what`.
std::size_t add_float_accessor(GltfDocument& doc, const std::vector<double>& values, std::size_t components,
                               std::string_view type, int target, bool bounds, std::string_view what = {});

// Unsigned accessor of 1-, 2- or 4-byte components. Throws GltfError when a value does not
// fit the component.
std::size_t add_uint_accessor(GltfDocument& doc, const std::vector<std::uint32_t>& values, std::size_t components,
                              std::string_view type, int component_type, int target);

// Embeds PNG bytes as an image and a texture using sampler 0; returns the texture index.
std::size_t add_png_texture(GltfDocument& doc, std::span<const std::uint8_t> png, std::string_view name);

// The glTF JSON of the document (pads `bin` to a multiple of 4 first).
JsonValue document_json(GltfDocument& doc);

// The .glb bytes: header, JSON chunk (space-padded), BIN chunk (written even when empty).
// Throws GltfError naming the member that holds a NaN or infinite number.
std::vector<std::uint8_t> write_glb(GltfDocument& doc);

}  // namespace tarkeep::data
