// Render properties, the texturing property, source textures and pixel data.
#include <tuple>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

// Each property is object_net_bytes() (19 bytes) and then its own fields.
template <class T>
std::unique_ptr<T> round_trip_property(const std::string& type, const HandBytes& fields) {
    std::unique_ptr<T> block = round_trip_hand_block<T>(type, object_net_bytes().append(fields.bytes).bytes);
    EXPECT_EQ(std::tuple(block->name, block->extra_data, block->controller),
              std::tuple("net", std::vector<NifRef>{9}, 5))
        << type;
    return block;
}

TEST(NifProperties, HandAssembledPropertiesAndPixelDataRoundTrip) {
    EXPECT_EQ(round_trip_property<NiAlphaProperty>("NiAlphaProperty", HandBytes().u16(0x200).u8(128))->threshold, 128);
    for (const char* type : {"NiSpecularProperty", "NiWireframeProperty", "NiDitherProperty", "NiShadeProperty"})
        EXPECT_EQ(round_trip_property<NiFlagsProperty>(type, HandBytes().u16(0x8001))->flags, 0x8001) << type;
    round_trip_property<NiZBufferProperty>("NiZBufferProperty", HandBytes().u16(3).u32(0x01020304));
    round_trip_property<NiVertexColorProperty>("NiVertexColorProperty", HandBytes().u16(8).u32(2).u32(1));

    HandBytes stencil;
    stencil.u8(1);                                               // 19: enabled
    for (std::uint32_t v = 1; v <= 7; ++v) stencil.u32(v * 10);  // 20: function ... draw_mode
    EXPECT_EQ(round_trip_property<NiStencilProperty>("NiStencilProperty", stencil)->draw_mode, 70u);

    HandBytes material;
    for (int i = 0; i < 12; ++i) material.f32(float(i));  // 19: ambient, diffuse, specular, emissive
    material.f32(25).f32(0.5f);                           // 67: glossiness, alpha
    const auto m = round_trip_property<NiMaterialProperty>("NiMaterialProperty", material);
    EXPECT_EQ(std::tuple(m->diffuse, m->emissive, m->alpha),
              std::tuple(NifColor3{3, 4, 5}, NifColor3{9, 10, 11}, 0.5f));
    const std::tuple<std::uint32_t, int> slot_flags[] = {{0, 6}, {3, 6},  {6, 6},         {7, 7},
                                                         {8, 8}, {12, 8}, {0xFFFFFFFF, 8}};
    for (const auto& [texture_count, flags_in_file] : slot_flags) {
        HandBytes b;
        b.u32(0).u32(texture_count);                      // 19: apply_mode, 23: texture_count
        for (int i = 0; i < flags_in_file; ++i) b.u8(0);  // 27: slot flags
        b.u32(0);                                         // shader texture count
        EXPECT_NO_THROW(round_trip_property<NiTexturingProperty>("NiTexturingProperty", b)) << texture_count;
    }
    HandBytes b;
    b.u32(2).u32(7);                                                            //  19: apply_mode, 23: texture_count
    b.u8(1);                                                                    //  27: base present
    b.i32(3).u32(3).u32(2).u32(1).u16(0xAAAA).u16(0xBBBB).u8(1);                // 28: desc
    b.f32(0.1f).f32(0.2f).f32(2).f32(3).f32(0.5f).u32(1).f32(0.5f).f32(0.75f);  // 49: transform
    b.u8(0).u8(0).u8(0).u8(0);                                                  //  81: dark, detail, gloss, glow
    b.u8(1);                                                                    //  85: bump present
    b.i32(-1).u32(0).u32(0).u32(0).u16(0).u16(0).u8(0);                         // 86: desc without transform
    b.f32(1.5f).f32(0.25f);                                                     // 107: luma
    b.f32(1).f32(0).f32(0).f32(1);                                              // 115: matrix
    b.u8(1).i32(8).u32(1).u32(0).u32(2).u16(0).u16(0).u8(0);                    // 131: decal0 present, 132: desc
    b.u32(2).u8(0).u8(1);                                                       // 153: shader textures, 157, 158
    b.i32(4).u32(0).u32(0).u32(0).u16(0).u16(0).u8(0);                          // 159: desc
    b.u32(9);                                                                   // 180: map_id
    const auto p = round_trip_property<NiTexturingProperty>("NiTexturingProperty", b);
    const NifTextureTransform transform{{0.1f, 0.2f}, {2, 3}, 0.5f, 1, {0.5f, 0.75f}};
    EXPECT_EQ(p->slots[kSlotBase], (NifTextureSlot{true, {3, 3, 2, 1, {0xAAAA, 0xBBBB}, true, transform}}));
    EXPECT_EQ(p->slots[kSlotBump], (NifTextureSlot{true, {}}));
    EXPECT_EQ(std::tuple(p->luma[0], p->matrix[0]), std::tuple(1.5f, 1));
    EXPECT_EQ(p->slots[kSlotDecal0], (NifTextureSlot{true, {8, 1, 0, 2, {0, 0}, false, {}}}));
    const NifTextureDesc shader_desc{4, 0, 0, 0, {0, 0}, false, {}};
    EXPECT_EQ(p->shader_textures, (std::vector<NifShaderTexture>{{false, {}, 0}, {true, shader_desc, 9}}));
    HandBytes pixel;
    pixel.u32(4).u32(1).u32(2).u32(3).u32(4).u32(32);  //  0: format, 4: masks, 20: bits per pixel
    for (int i = 0; i < 8; ++i) pixel.u8(0);           // 24: fast compare
    pixel.u32(0).i32(-1).u32(1).u32(4);                // 32: tiling, palette, 40: mipmaps, 44: bytes per pixel
    pixel.u32(2).u32(2).u32(0);                        // 48: mipmap
    pixel.u32(16);                                     // 60: num_pixels
    for (int i = 0; i < 16; ++i) pixel.u8(0xEE);       // 64: pixels
    const auto hand = read_hand_block<NiPixelData>("NiPixelData", pixel.bytes);
    EXPECT_EQ(std::tuple(hand->pixels_offset, hand->masks[3], hand->mipmaps),
              std::tuple(64u, 4u, std::vector<NifMipmap>{{2, 2, 0}}));

    pixel.bytes.resize(60);
    pixel.u32(0xFFFFFFFF);
    EXPECT_THROW(read_hand_block<NiPixelData>("NiPixelData", pixel.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
