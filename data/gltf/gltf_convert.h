// Conversion of one NIF model (scene graph, meshes, materials, skins, animations) into a glTF document.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/gltf/gltf_document.h"
#include "data/gltf/gltf_math.h"
#include "data/nif/nif_blocks.h"
#include "data/nif/nif_file.h"

namespace tarkeep::data {

// A texture as embedded: PNG bytes, whether some alpha is below 255, whether it shows
// player colour.
struct GltfImage {
    std::vector<std::uint8_t> png;
    bool transparent = false;
    bool player_colour = false;
};

// The PBR companions of a base texture, PNG-encoded.
struct GltfPbrImages {
    std::vector<std::uint8_t> normal_png;
    std::vector<std::uint8_t> orm_png;
    double normal_scale = 1;
};

struct GltfConvertOptions {
    char colour = 'A';
    bool embed_textures = true;
    bool y_up = true;
    double scale = 1;             // length factor; applies only with y_up
    bool keyframe_pass = true;    // keyframe pre-pass and unique node names
    bool scale_channels = false;  // scale keys become "scale" channels
    // Whether the game data holds the texture file of a source texture's file name.
    std::function<bool(const std::string& file_name)> texture_exists;
    // The image of a texture in a colour, or null when there is none.
    std::function<std::shared_ptr<const GltfImage>(const std::string& file_name, char colour)> texture_provider;
    // The PBR companions of a base texture of the given size, or null. Empty: not asked.
    std::function<std::shared_ptr<const GltfPbrImages>(const std::string& file_name, std::uint32_t width,
                                                       std::uint32_t height)>
        companions;
};

// A keyframe file, read and parsed once per export.
struct GltfKeyframeFile {
    std::string path;
    NifFile file;
};

struct GltfConvertStats {
    std::size_t images = 0;       // embedded base textures
    bool player_colour = false;   // some embedded texture shows player colour
    std::size_t hidden_lods = 0;  // LOD levels present but not the first
    std::size_t rigid_bound = 0;  // rigid parts bound to a joint
    std::size_t pbr_materials = 0;
    std::size_t vertices_without_influence = 0;
    std::size_t max_influences = 0;
    std::vector<std::string> warnings;  // things skipped, without "warning: "
};

struct GltfConvertResult {
    GltfDocument doc;
    GltfConvertStats stats;
};

// The whole conversion: the first root's tree, the keyframe pre-pass (when keyframe files
// are given and the pass is on), skins, meshes and materials, one animation per keyframe
// file, unique node names. Throws GltfError (damaged or unsupported input) and passes
// NifError through.
GltfConvertResult convert_model(const NifFile& model, const std::vector<GltfKeyframeFile>& keyframes,
                                const GltfConvertOptions& options);

// Reads the first two numbers of a PNG's IHDR; {0, 0} when the bytes are not a PNG header.
std::pair<std::uint32_t, std::uint32_t> png_size(const std::vector<std::uint8_t>& png);

// The converter state; convert_model drives it. Exposed for the pieces' own tests.
class GltfConverter {
public:
    GltfConverter(const NifFile& model, const GltfConvertOptions& options);

    // Creates the node of a block and of everything below it; returns its index.
    std::size_t convert_node(NifRef ref);
    // Decides which sequences move the model and which rigid parts bind to joints.
    void keyframe_prepass(const std::vector<GltfKeyframeFile>& keyframes);
    void convert_skins();
    // Every geometry under the converted nodes: meshes, materials, placement.
    void convert_geometries();
    void convert_sequence(const GltfKeyframeFile& keyframes);
    void make_node_names_unique();

    GltfDocument& doc() { return doc_; }
    GltfConvertStats& stats() { return stats_; }

private:
    struct TextureEntry {
        std::size_t index = 0;
        std::uint32_t width = 0, height = 0;
        bool player_colour = false;
    };
    struct PbrEntry {
        std::size_t normal = 0, orm = 0;
        double normal_scale = 1;
    };
    struct SkinAttributes {
        std::size_t joints = 0, weights = 0, skin = 0;
    };

    template <class T>
    const T& block_as(NifRef ref, const char* what) const;
    const NiObject& any_block(NifRef ref, const char* what) const;
    Mat4 world_of(std::uint32_t block) const;
    Mat4 to_gltf(const Mat4& nif) const;
    Vec3d point(const Vec3d& p) const;
    Vec3d direction(const Vec3d& d) const;
    Quatd rotation(const Quatd& q) const;
    // Appends the node of one block (no children yet) and collects its child references.
    std::size_t add_node(NifRef ref, const std::vector<bool>& on_path, std::vector<NifRef>& children);
    // The triangles whose three corners are vertices of the data; the others cannot be drawn.
    static std::vector<NifTriangle> triangles_in_range(const NiTriBasedGeomData& data);
    std::size_t convert_geometry(const NiGeometry& geometry, const NiTriBasedGeomData& data,
                                 const std::vector<NifTriangle>& triangles);
    std::size_t convert_material(const NiGeometry& geometry);
    void add_texture_slots(const NiTexturingProperty& texturing, JsonValue& material, JsonValue& pbr,
                           std::string& texture_name, bool& player_colour);
    SkinAttributes convert_skin(const NiGeometry& geometry, std::size_t vertex_count);
    std::size_t add_skin(const char* name, const std::vector<Mat4>& bind_worlds);
    SkinAttributes add_joint_attributes(const std::vector<std::uint32_t>& joints, const std::vector<double>& weights,
                                        const std::string& what);
    std::optional<std::size_t> node_by_name(const std::string& name);
    void add_channel(JsonValue& animation, std::size_t node, const char* path, std::vector<double> times,
                     std::vector<double> values, std::size_t components, const char* type, const char* interpolation);

    const NifFile& model_;
    const GltfConvertOptions& options_;
    double scale_ = 1;
    GltfDocument doc_;
    GltfConvertStats stats_;
    std::unordered_map<std::uint32_t, std::uint32_t> parent_of_;
    std::unordered_map<std::uint32_t, std::size_t> node_of_block_;
    mutable std::unordered_map<std::uint32_t, Mat4> world_cache_;
    std::vector<std::uint32_t> block_of_joint_;   // the joint list: converted nodes in order, by block
    std::vector<std::uint32_t> geometry_blocks_;  // in conversion order
    std::map<std::string, TextureEntry> textures_;
    std::map<std::string, PbrEntry> pbr_textures_;
    std::map<std::uint32_t, SkinAttributes> skinned_;
    std::map<std::uint32_t, Mat4> rigid_bind_;  // geometry block -> its bind transform (NIF space)
    std::map<std::string, bool> moves_;
    std::optional<std::size_t> rigid_skin_;
    std::map<std::string, std::size_t> node_by_name_, node_by_lower_name_;
    bool needs_tangents_ = false;
};

// Follows a reference of `file`: GltfError "block reference out of range: <what>" or
// "unexpected block type for <what>: <type name>".
const NiObject& nif_block_at(const NifFile& file, NifRef ref, const char* what);
template <class T>
const T& nif_block(const NifFile& file, NifRef ref, const char* what) {
    const NiObject& block = nif_block_at(file, ref, what);
    const T* typed = dynamic_cast<const T*>(&block);
    if (typed == nullptr) throw GltfError(std::string("unexpected block type for ") + what + ": " + block.type_name);
    return *typed;
}

template <class T>
const T& GltfConverter::block_as(NifRef ref, const char* what) const {
    return nif_block<T>(model_, ref, what);
}

}  // namespace tarkeep::data
