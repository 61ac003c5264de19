// Time controllers, the two version-dependent fields, and controller sequences.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

void fill_time_controller(NiTimeController& c) {
    c.next_controller = 1;
    c.flags = 0x48;
    c.frequency = 1.5f;
    c.phase = 0.25f;
    c.start_time = 0.5f;
    c.stop_time = 4;
    c.target = 2;
}

// The 26 bytes of NiTimeController: next, flags, frequency, phase, start, stop, target.
HandBytes time_controller_bytes() {
    HandBytes b;
    b.i32(-1).u16(8).f32(1).f32(0).f32(0).f32(2).i32(3);
    return b;
}

TEST(NifControllers, RoundTrip) {
    for (const char* type : {"NiKeyframeController", "NiAlphaController", "NiVisController"}) {
        NiDataController controller;
        fill_time_controller(controller);
        controller.data = 3;
        expect_round_trip(type, controller);
    }
    for (const std::uint32_t version : {kNifVersion10_1_0_0, kNifVersion10_0_1_0}) {
        NiGeomMorpherController morpher;
        fill_time_controller(morpher);
        morpher.extra_flags = version >= kNifVersionMorpherExtraFlags ? 0x55 : 0;
        morpher.data = 4;
        morpher.always_update = 1;
        expect_round_trip("NiGeomMorpherController", morpher, version);

        NiMaterialColorController color;
        fill_time_controller(color);
        color.target_color = version >= kNifVersion10_1_0_0 ? 2 : 0;
        color.data = 5;
        expect_round_trip("NiMaterialColorController", color, version);
    }
    NiTextureTransformController transform;
    fill_time_controller(transform);
    transform.shader_map = 1;
    transform.texture_slot = 5;
    transform.operation = 3;
    transform.data = 6;
    expect_round_trip("NiTextureTransformController", transform);

    NiUVController uv;
    fill_time_controller(uv);
    uv.unknown = 0xABCD;
    uv.data = 7;
    expect_round_trip("NiUVController", uv);

    NiFlipController flip;
    fill_time_controller(flip);
    flip.texture_slot = 4;
    flip.accum_time = 0.1f;
    flip.delta = 0.2f;
    flip.sources = {3, 4, 5};
    expect_round_trip("NiFlipController", flip);

    NiControllerSequence sequence;
    sequence.name = "Walk";
    sequence.accum_root_name = "Bip01";
    sequence.text_keys = 1;
    sequence.blocks = {{"Bip01 Spine", 2}, {"Body\nPROP\nNiMaterialProperty", -1}};
    expect_round_trip("NiControllerSequence", sequence);
}

TEST(NifControllers, VersionDependentFields) {
    // NiMaterialColorController: target_color only from 10.1.0.0 on.
    HandBytes color = time_controller_bytes();
    color.u16(3).i32(4);  // 26: target_color, 28: data
    const auto new_color = read_hand_block<NiMaterialColorController>("NiMaterialColorController", color.bytes);
    EXPECT_EQ(new_color->target_color, 3);
    EXPECT_EQ(new_color->data, 4);
    HandBytes old_color = time_controller_bytes();
    old_color.i32(4);     // 26: data
    const auto old = read_hand_block<NiMaterialColorController>("NiMaterialColorController", old_color.bytes,
                                                                kNifVersion10_0_1_0);
    EXPECT_EQ(old->target_color, 0);
    EXPECT_EQ(old->data, 4);
    EXPECT_EQ(old->target, 3);

    // NiGeomMorpherController: extra_flags only from 10.0.1.2 on, so 10.1.0.0 has it and
    // 10.0.1.0 does not.
    HandBytes morpher = time_controller_bytes();
    morpher.u16(9).i32(5).u8(1);  // 26: extra_flags, 28: data, 32: always_update
    const auto new_morpher = read_hand_block<NiGeomMorpherController>("NiGeomMorpherController", morpher.bytes);
    EXPECT_EQ(new_morpher->extra_flags, 9);
    EXPECT_EQ(new_morpher->data, 5);
    HandBytes old_morpher = time_controller_bytes();
    old_morpher.i32(5).u8(1);     // 26: data, 30: always_update
    const auto old_m = read_hand_block<NiGeomMorpherController>("NiGeomMorpherController", old_morpher.bytes,
                                                                kNifVersion10_0_1_0);
    EXPECT_EQ(old_m->data, 5);
    EXPECT_EQ(old_m->always_update, 1);

    // Through read_nif the version comes from the file.
    std::size_t offset = 0;
    HandBytes in_file = time_controller_bytes();
    in_file.i32(0);  // data refers to the block itself: the only valid reference here
    const NifFile file = read_nif(hand_file_with_block("NiMaterialColorController", in_file.bytes, &offset,
                                                       kNifVersion10_0_1_0));
    EXPECT_EQ(dynamic_cast<const NiMaterialColorController&>(*file.blocks[0]).data, 0);
    EXPECT_EQ(file.blocks[0]->offset, offset);
}

TEST(NifControllers, HandAssembledControllers) {
    HandBytes keyframe = time_controller_bytes();
    keyframe.i32(1);  // 26: data
    const auto k = read_hand_block<NiDataController>("NiKeyframeController", keyframe.bytes);
    EXPECT_EQ(k->flags, 8);
    EXPECT_EQ(k->frequency, 1);
    EXPECT_EQ(k->stop_time, 2);
    EXPECT_EQ(k->target, 3);
    EXPECT_EQ(k->data, 1);

    HandBytes transform = time_controller_bytes();
    transform.u8(1).u32(5).u32(2).i32(6);  // 26: shader_map, 27: slot, 31: operation, 35: data
    const auto t = read_hand_block<NiTextureTransformController>("NiTextureTransformController", transform.bytes);
    EXPECT_EQ(t->texture_slot, 5u);
    EXPECT_EQ(t->operation, 2u);
    EXPECT_EQ(t->data, 6);

    HandBytes flip = time_controller_bytes();
    flip.u32(0).f32(0.5f).f32(0.25f).u32(2).u32(8).u32(9);  // 26: slot, accum, delta, 38: sources
    const auto f = read_hand_block<NiFlipController>("NiFlipController", flip.bytes);
    EXPECT_EQ(f->delta, 0.25f);
    EXPECT_EQ(f->sources, (std::vector<std::uint32_t>{8, 9}));

    HandBytes uv = time_controller_bytes();
    uv.u16(0x1234).i32(2);
    EXPECT_EQ(read_hand_block<NiUVController>("NiUVController", uv.bytes)->data, 2);

    HandBytes sequence;
    sequence.u32(4).text("Idle").u32(3).text("Bip").i32(1);  // 0: name, 8: accum root, 15: text keys
    sequence.u32(1).u32(5).text("Spine").i32(2);             // 19: blocks
    const auto s = read_hand_block<NiControllerSequence>("NiControllerSequence", sequence.bytes);
    EXPECT_EQ(s->accum_root_name, "Bip");
    EXPECT_EQ(s->text_keys, 1);
    EXPECT_EQ(s->blocks, (std::vector<NifControlledBlock>{{"Spine", 2}}));
}

}  // namespace
}  // namespace tarkeep::test
