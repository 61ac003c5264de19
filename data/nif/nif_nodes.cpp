// Readers of the scene graph nodes, LOD range data and directional lights.
#include "data/nif/nif_nodes.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

namespace {

void read_node_fields(NifReader& reader, NiNode& node) {
    read_av_object_fields(reader, node);
    node.children = reader.ref_list();
    node.effects = reader.ref_list();
}

}  // namespace

std::unique_ptr<NiObject> read_ni_node(NifReader& reader) {
    auto node = std::make_unique<NiNode>();
    read_node_fields(reader, *node);
    return node;
}

std::unique_ptr<NiObject> read_ni_lod_node(NifReader& reader) {
    auto node = std::make_unique<NiLODNode>();
    read_node_fields(reader, *node);
    node->switch_flags = reader.u16();
    node->index = reader.u32();
    node->lod_data = reader.ref();
    return node;
}

std::unique_ptr<NiObject> read_ni_billboard_node(NifReader& reader) {
    auto node = std::make_unique<NiBillboardNode>();
    read_node_fields(reader, *node);
    node->billboard_mode = reader.u16();
    return node;
}

std::unique_ptr<NiObject> read_ni_range_lod_data(NifReader& reader) {
    auto data = std::make_unique<NiRangeLODData>();
    data->center = reader.value<NifVec3>();
    data->ranges = reader.values<NifLodRange>(reader.u32());
    return data;
}

std::unique_ptr<NiObject> read_ni_directional_light(NifReader& reader) {
    auto light = std::make_unique<NiDirectionalLight>();
    read_av_object_fields(reader, *light);
    light->affected_nodes = reader.u32_list();
    light->dimmer = reader.f32();
    light->ambient = reader.value<NifColor3>();
    light->diffuse = reader.value<NifColor3>();
    light->specular = reader.value<NifColor3>();
    return light;
}

}  // namespace tarkeep::data
