// read_nif throughput on a generated skinned model of about 10k triangles, against a
// plain copy of the same bytes (the memory bandwidth ceiling).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "data/nif/nif_file.h"
#include "data/nif/nif_writer.h"

namespace {

using namespace tarkeep::data;

constexpr int kGrid = 71;  // 71 x 71 vertices, 2 x 70 x 70 = 9800 triangles
constexpr int kBones = 24;

NiTriShapeData grid_data() {
    NiTriShapeData data;
    data.num_vertices = kGrid * kGrid;
    data.vector_flags = 1;
    data.uv_sets.resize(1);
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            data.vertices.push_back({float(x), float(y), std::sin(float(x + y) / 8)});
            data.normals.push_back({0, 0, 1});
            data.colors.push_back({1, 1, 1, 1});
            data.uv_sets[0].push_back({float(x) / kGrid, float(y) / kGrid});
        }
    }
    for (int y = 0; y + 1 < kGrid; ++y) {
        for (int x = 0; x + 1 < kGrid; ++x) {
            const auto i = static_cast<std::uint16_t>(y * kGrid + x);
            data.triangles.push_back({i, static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(i + kGrid)});
            data.triangles.push_back({static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(i + kGrid + 1),
                                      static_cast<std::uint16_t>(i + kGrid)});
        }
    }
    data.num_triangles = static_cast<std::uint16_t>(data.triangles.size());
    data.num_triangle_points = data.num_triangles * 3u;
    return data;
}

// Every vertex weighted to the bones of its row band and the next one.
NiSkinData grid_skin() {
    NiSkinData skin;
    skin.has_weights = true;
    skin.skin_partition = 6 + kBones;
    skin.bones.resize(kBones);
    for (int v = 0; v < kGrid * kGrid; ++v) {
        const int bone = (v / kGrid) * (kBones - 1) / kGrid;
        skin.bones[bone].weights.push_back({static_cast<std::uint16_t>(v), 0.75f});
        skin.bones[bone + 1].weights.push_back({static_cast<std::uint16_t>(v), 0.25f});
    }
    for (auto& bone : skin.bones) bone.num_weights = static_cast<std::uint16_t>(bone.weights.size());
    return skin;
}

NiSkinPartition grid_partition(const NiTriShapeData& data) {
    NifSkinPartitionEntry part;
    part.num_vertices = data.num_vertices;
    part.num_triangles = data.num_triangles;
    part.num_weights_per_vertex = 4;
    for (int b = 0; b < kBones; ++b) part.bones.push_back(static_cast<std::uint16_t>(b));
    for (int v = 0; v < data.num_vertices; ++v) {
        part.vertex_map.push_back(static_cast<std::uint16_t>(v));
        for (int w = 0; w < 4; ++w) {
            part.vertex_weights.push_back(w == 0 ? 1.0f : 0.0f);
            part.bone_indices.push_back(static_cast<std::uint8_t>(w));
        }
    }
    part.has_faces = true;
    part.triangles = data.triangles;
    NiSkinPartition partition;
    partition.partitions = {part};
    return partition;
}

std::vector<std::uint8_t> skinned_model() {
    NifFile file = make_nif_file();
    NiNode root;
    root.name = "Scene Root";
    root.children = {1};
    for (int b = 0; b < kBones; ++b) root.children.push_back(6 + b);
    add_nif_block(file, "NiNode", root);  // 0
    NiGeometry shape;
    shape.name = "Body";
    shape.properties = {2, 3};
    shape.data = 4;
    shape.skin_instance = 5;
    add_nif_block(file, "NiTriShape", shape);  // 1
    NiMaterialProperty material;
    material.diffuse = {1, 1, 1};
    add_nif_block(file, "NiMaterialProperty", material);  // 2
    NiTexturingProperty texturing;
    texturing.slots[kSlotBase].present = true;
    texturing.slots[kSlotBase].desc.source = 7 + kBones;
    add_nif_block(file, "NiTexturingProperty", texturing);  // 3
    const NiTriShapeData data = grid_data();
    add_nif_block(file, "NiTriShapeData", data);  // 4
    NiSkinInstance instance;
    instance.data = 8 + kBones;
    instance.skeleton_root = 0;
    for (int b = 0; b < kBones; ++b) instance.bones.push_back(6 + b);
    add_nif_block(file, "NiSkinInstance", instance);  // 5
    for (int b = 0; b < kBones; ++b) {
        NiNode bone;
        bone.name = "Bone" + std::to_string(b);
        bone.translation = {0, float(b), 0};
        add_nif_block(file, "NiNode", bone);  // 6 ..
    }
    add_nif_block(file, "NiSkinPartition", grid_partition(data));  // 6 + kBones
    NiSourceTexture texture;
    texture.external = 1;
    texture.file_name = "body";
    add_nif_block(file, "NiSourceTexture", texture);  // 7 + kBones
    add_nif_block(file, "NiSkinData", grid_skin());   // 8 + kBones
    file.roots = {0};
    return write_nif(file);
}

const std::vector<std::uint8_t>& model() {
    static const std::vector<std::uint8_t> bytes = skinned_model();
    return bytes;
}

void BM_ReadNif(benchmark::State& state) {
    const auto& bytes = model();
    {
        const NifFile file = read_nif(bytes);
        const auto& data = dynamic_cast<const NiTriShapeData&>(*file.blocks.at(4));
        const auto& skin = dynamic_cast<const NiSkinData&>(*file.blocks.back());
        if (data.triangles.size() != 9800 || skin.bones.size() != kBones) state.SkipWithError("model misread");
    }
    for (auto _ : state) {
        NifFile file = read_nif(bytes);
        benchmark::DoNotOptimize(file.blocks.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["file_KiB"] = double(bytes.size()) / 1024;
}
BENCHMARK(BM_ReadNif);

// Baseline: copying the file into a fresh buffer, the least any reader has to do.
void BM_CopyBytes(benchmark::State& state) {
    const auto& bytes = model();
    for (auto _ : state) {
        std::vector<std::uint8_t> copy(bytes.size());
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_CopyBytes);

}  // namespace

BENCHMARK_MAIN();
