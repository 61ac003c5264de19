// Readers of the time controller blocks and of controller sequences.
#include "data/nif/nif_controllers.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

void read_time_controller_fields(NifReader& reader, NiTimeController& controller) {
    controller.next_controller = reader.ref();
    controller.flags = reader.u16();
    controller.frequency = reader.f32();
    controller.phase = reader.f32();
    controller.start_time = reader.f32();
    controller.stop_time = reader.f32();
    controller.target = reader.ref();
}

std::unique_ptr<NiObject> read_ni_data_controller(NifReader& reader) {
    auto controller = std::make_unique<NiDataController>();
    read_time_controller_fields(reader, *controller);
    controller->data = reader.ref();
    return controller;
}

std::unique_ptr<NiObject> read_ni_geom_morpher_controller(NifReader& reader) {
    auto controller = std::make_unique<NiGeomMorpherController>();
    read_time_controller_fields(reader, *controller);
    if (reader.version() >= kNifVersionMorpherExtraFlags) controller->extra_flags = reader.u16();
    controller->data = reader.ref();
    controller->always_update = reader.u8();
    return controller;
}

std::unique_ptr<NiObject> read_ni_material_color_controller(NifReader& reader) {
    auto controller = std::make_unique<NiMaterialColorController>();
    read_time_controller_fields(reader, *controller);
    if (reader.version() >= kNifVersion10_1_0_0) controller->target_color = reader.u16();
    controller->data = reader.ref();
    return controller;
}

std::unique_ptr<NiObject> read_ni_texture_transform_controller(NifReader& reader) {
    auto controller = std::make_unique<NiTextureTransformController>();
    read_time_controller_fields(reader, *controller);
    controller->shader_map = reader.u8();
    controller->texture_slot = reader.u32();
    controller->operation = reader.u32();
    controller->data = reader.ref();
    return controller;
}

std::unique_ptr<NiObject> read_ni_uv_controller(NifReader& reader) {
    auto controller = std::make_unique<NiUVController>();
    read_time_controller_fields(reader, *controller);
    controller->unknown = reader.u16();
    controller->data = reader.ref();
    return controller;
}

std::unique_ptr<NiObject> read_ni_flip_controller(NifReader& reader) {
    auto controller = std::make_unique<NiFlipController>();
    read_time_controller_fields(reader, *controller);
    controller->texture_slot = reader.u32();
    controller->accum_time = reader.f32();
    controller->delta = reader.f32();
    controller->sources = reader.u32_list();
    return controller;
}

std::unique_ptr<NiObject> read_ni_controller_sequence(NifReader& reader) {
    auto sequence = std::make_unique<NiControllerSequence>();
    sequence->name = reader.string();
    sequence->accum_root_name = reader.string();
    sequence->text_keys = reader.ref();
    const std::uint32_t count = reader.u32();
    reader.require_elements(count, sizeof(std::uint32_t) + sizeof(NifRef));
    sequence->blocks.resize(count);
    for (NifControlledBlock& block : sequence->blocks) {
        block.target_name = reader.string();
        block.controller = reader.ref();
    }
    return sequence;
}

}  // namespace tarkeep::data
