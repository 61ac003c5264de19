// Time controllers and controller sequences (the root of a keyframe file).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NiTimeController : NiObject {
    bool operator==(const NiTimeController&) const = default;

    NifRef next_controller = kNoRef;
    std::uint16_t flags = 0;
    float frequency = 1;
    float phase = 0;
    float start_time = 0;
    float stop_time = 0;
    NifRef target = kNoRef;
};

// "NiKeyframeController", "NiAlphaController", "NiVisController", and the base of the
// controllers below.
struct NiDataController : NiTimeController {
    bool operator==(const NiDataController&) const = default;

    NifRef data = kNoRef;
};

// First file version that stores NiGeomMorpherController::extra_flags.
inline constexpr std::uint32_t kNifVersionMorpherExtraFlags = 0x0A000102;

struct NiGeomMorpherController : NiDataController {
    bool operator==(const NiGeomMorpherController&) const = default;

    std::uint16_t extra_flags = 0;  // only in files of version 10.0.1.2 and later
    std::uint8_t always_update = 0;
};

struct NiMaterialColorController : NiDataController {
    bool operator==(const NiMaterialColorController&) const = default;

    std::uint16_t target_color = 0;  // only in files of version 10.1.0.0 and later
};

struct NiTextureTransformController : NiDataController {
    bool operator==(const NiTextureTransformController&) const = default;

    std::uint8_t shader_map = 0;
    std::uint32_t texture_slot = 0;
    std::uint32_t operation = 0;
};

struct NiUVController : NiDataController {
    bool operator==(const NiUVController&) const = default;

    std::uint16_t unknown = 0;
};

struct NiFlipController : NiTimeController {
    bool operator==(const NiFlipController&) const = default;

    std::uint32_t texture_slot = 0;
    float accum_time = 0;
    float delta = 0;
    std::vector<std::uint32_t> sources;
};

struct NifControlledBlock {
    std::string target_name;
    NifRef controller = kNoRef;
    bool operator==(const NifControlledBlock&) const = default;
};

struct NiControllerSequence : NiObject {
    bool operator==(const NiControllerSequence&) const = default;

    std::string name;
    std::string accum_root_name;
    NifRef text_keys = kNoRef;
    std::vector<NifControlledBlock> blocks;
};

void read_time_controller_fields(NifReader& reader, NiTimeController& controller);

std::unique_ptr<NiObject> read_ni_data_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_geom_morpher_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_material_color_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_texture_transform_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_uv_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_flip_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_controller_sequence(NifReader& reader);

}  // namespace tarkeep::data
