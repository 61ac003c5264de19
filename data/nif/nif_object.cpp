// Reading the fields the NiObjectNET and NiAVObject base classes add to every block.
#include "data/nif/nif_object.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

void read_object_net_fields(NifReader& reader, NiObjectNET& block) {
    block.name = reader.string();
    block.extra_data = reader.ref_list();
    block.controller = reader.ref();
}

void read_av_object_fields(NifReader& reader, NiAVObject& block) {
    read_object_net_fields(reader, block);
    block.flags = reader.u16();
    block.translation = reader.value<NifVec3>();
    block.rotation = reader.value<NifMatrix33>();
    block.scale = reader.f32();
    block.properties = reader.ref_list();
    block.collision = reader.ref();
}

}  // namespace tarkeep::data
