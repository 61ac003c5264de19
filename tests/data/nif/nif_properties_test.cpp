// Render properties, the texturing property, source textures and pixel data.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

// Object NET fields with an empty name, no extra data and no controller: 12 bytes.
HandBytes empty_object_net() {
    HandBytes b;
    b.u32(0).u32(0).i32(-1);
    return b;
}

TEST(NifProperties, SimplePropertiesRoundTrip) {
    NiAlphaProperty alpha;
    fill_object_net(alpha, "alpha");
    alpha.flags = 0x200;
    alpha.threshold = 128;
    expect_round_trip("NiAlphaProperty", alpha);

    for (const char* type : {"NiSpecularProperty", "NiWireframeProperty", "NiDitherProperty", "NiShadeProperty"}) {
        NiFlagsProperty flags;
        fill_object_net(flags, type);
        flags.flags = 0x8001;
        expect_round_trip(type, flags);
    }

    NiZBufferProperty zbuffer;
    fill_object_net(zbuffer, "z");
    zbuffer.flags = 3;
    zbuffer.function = 0x01020304;
    expect_round_trip("NiZBufferProperty", zbuffer);

    NiVertexColorProperty vertex_color;
    fill_object_net(vertex_color, "vc");
    vertex_color.flags = 8;
    vertex_color.vertex_mode = 2;
    vertex_color.lighting_mode = 1;
    expect_round_trip("NiVertexColorProperty", vertex_color);

    NiStencilProperty stencil;
    fill_object_net(stencil, "stencil");
    stencil.enabled = 1;
    stencil.function = 2;
    stencil.reference = 3;
    stencil.mask = 0xFFFFFFFF;
    stencil.fail = 4;
    stencil.zfail = 5;
    stencil.pass = 6;
    stencil.draw_mode = 7;
    expect_round_trip("NiStencilProperty", stencil);

    NiMaterialProperty material;
    fill_object_net(material, "mat");
    material.ambient = {1, 0, 0};
    material.diffuse = {0, 1, 0};
    material.specular = {0, 0, 1};
    material.emissive = {0.5f, 0.5f, 0.5f};
    material.glossiness = 10;
    material.alpha = 0.5f;
    expect_round_trip("NiMaterialProperty", material);
}

TEST(NifProperties, HandAssembledStencilAndMaterial) {
    HandBytes stencil = empty_object_net();
    stencil.u8(1);                                   // 12: enabled
    for (std::uint32_t v = 1; v <= 7; ++v) stencil.u32(v * 10);  // 13: function ... draw_mode
    const auto s = read_hand_block<NiStencilProperty>("NiStencilProperty", stencil.bytes);
    EXPECT_EQ(s->function, 10u);
    EXPECT_EQ(s->reference, 20u);
    EXPECT_EQ(s->pass, 60u);
    EXPECT_EQ(s->draw_mode, 70u);

    HandBytes material = empty_object_net();
    for (int i = 0; i < 12; ++i) material.f32(float(i));  // 12: ambient, diffuse, specular, emissive
    material.f32(25).f32(0.5f);                          // 60: glossiness, alpha
    const auto m = read_hand_block<NiMaterialProperty>("NiMaterialProperty", material.bytes);
    EXPECT_EQ(m->diffuse, (NifColor3{3, 4, 5}));
    EXPECT_EQ(m->emissive, (NifColor3{9, 10, 11}));
    EXPECT_EQ(m->glossiness, 25);
    EXPECT_EQ(m->alpha, 0.5f);
}

NifTextureDesc texture_desc(NifRef source, bool with_transform) {
    NifTextureDesc desc;
    desc.source = source;
    desc.clamp = 3;
    desc.filter = 2;
    desc.uv_set = 1;
    desc.unused = {0xAAAA, 0x5555};
    desc.has_transform = with_transform;
    if (with_transform) desc.transform = {{0.1f, 0.2f}, {2, 3}, 0.5f, 1, {0.5f, 0.5f}};
    return desc;
}

TEST(NifProperties, TexturingPropertyRoundTrip) {
    for (const std::uint32_t count : {0u, 6u, 7u, 8u, 12u}) {
        NiTexturingProperty property;
        fill_object_net(property, "tex");
        property.apply_mode = 2;
        property.texture_count = count;
        property.slots[kSlotBase] = {true, texture_desc(1, true)};
        property.slots[kSlotGlow] = {true, texture_desc(2, false)};
        property.slots[kSlotBump] = {true, texture_desc(-1, false)};
        property.luma = {1.5f, 0.25f};
        property.matrix = {1, 0.5f, -0.5f, 1};
        if (count >= 7) property.slots[kSlotDecal0] = {true, texture_desc(3, true)};
        if (count >= 8) property.slots[kSlotDecal1] = {true, texture_desc(4, false)};
        property.shader_textures = {{false, {}, 0}, {true, texture_desc(5, true), 0xC0FFEE}};
        expect_round_trip("NiTexturingProperty", property);
    }
}

TEST(NifProperties, TextureSlotFlagsFollowTheTextureCount) {
    const struct {
        std::uint32_t texture_count;
        int flags_in_file;
    } cases[] = {{0, 6}, {3, 6}, {6, 6}, {7, 7}, {8, 8}, {12, 8}, {0xFFFFFFFF, 8}};
    for (const auto& c : cases) {
        HandBytes b = empty_object_net();
        b.u32(0).u32(c.texture_count);                 // 12: apply_mode, 16: texture_count
        for (int i = 0; i < c.flags_in_file; ++i) b.u8(0);  // 20: slot flags
        b.u32(0);                                      // shader texture count
        EXPECT_NO_THROW(read_hand_block<NiTexturingProperty>("NiTexturingProperty", b.bytes)) << c.texture_count;
    }
}

TEST(NifProperties, HandAssembledTexturingProperty) {
    HandBytes b = empty_object_net();
    b.u32(2).u32(7);                                   //  12: apply_mode, 16: texture_count
    b.u8(1);                                           //  20: base present
    b.i32(3).u32(3).u32(2).u32(1).u16(0xAAAA).u16(0xBBBB).u8(1);  // 21: desc
    b.f32(0.1f).f32(0.2f).f32(2).f32(3).f32(0.5f).u32(1).f32(0.5f).f32(0.5f);  // 42: transform
    b.u8(0).u8(0).u8(0).u8(0);                         //  74: dark, detail, gloss, glow
    b.u8(1);                                           //  78: bump present
    b.i32(-1).u32(0).u32(0).u32(0).u16(0).u16(0).u8(0);  // 79: desc without transform
    b.f32(1.5f).f32(0.25f);                            // 100: luma
    b.f32(1).f32(0).f32(0).f32(1);                     // 108: matrix
    b.u8(0);                                           // 124: decal0
    b.u32(2).u8(0).u8(1);                              // 125: shader textures, 129, 130
    b.i32(4).u32(0).u32(0).u32(0).u16(0).u16(0).u8(0);  // 131: desc
    b.u32(9);                                          // 152: map_id
    ASSERT_EQ(b.size(), 156u);

    const auto p = read_hand_block<NiTexturingProperty>("NiTexturingProperty", b.bytes);
    const NifTextureDesc& base = p->slots[kSlotBase].desc;
    EXPECT_TRUE(p->slots[kSlotBase].present);
    EXPECT_EQ(base.source, 3);
    EXPECT_EQ(base.clamp, 3u);
    EXPECT_EQ(base.filter, 2u);
    EXPECT_EQ(base.uv_set, 1u);
    EXPECT_EQ(base.unused, (std::array<std::uint16_t, 2>{0xAAAA, 0xBBBB}));
    EXPECT_EQ(base.transform.scale, (NifTexCoord{2, 3}));
    EXPECT_EQ(base.transform.rotation, 0.5f);
    EXPECT_EQ(base.transform.method, 1u);
    EXPECT_TRUE(p->slots[kSlotBump].present);
    EXPECT_FALSE(p->slots[kSlotGlow].present);
    EXPECT_EQ(p->luma, (std::array<float, 2>{1.5f, 0.25f}));
    EXPECT_EQ(p->matrix, (std::array<float, 4>{1, 0, 0, 1}));
    ASSERT_EQ(p->shader_textures.size(), 2u);
    EXPECT_FALSE(p->shader_textures[0].present);
    EXPECT_EQ(p->shader_textures[1].desc.source, 4);
    EXPECT_EQ(p->shader_textures[1].map_id, 9u);
    EXPECT_STREQ(kTextureSlotNames[kSlotBump], "bump");
}

TEST(NifProperties, SourceTextureRoundTripAndLayout) {
    NiSourceTexture external;
    fill_object_net(external, "src");
    external.external = 1;
    external.file_name = "units/knight.dds";
    external.unknown_link = 2;
    external.pixel_layout = 6;
    external.use_mipmaps = 1;
    external.alpha_format = 3;
    external.is_static = 1;
    expect_round_trip("NiSourceTexture", external);
    NiSourceTexture embedded = external;
    embedded.external = 0;
    embedded.unknown_link = kNoRef;
    embedded.pixel_data = 1;
    expect_round_trip("NiSourceTexture", embedded);

    HandBytes b = empty_object_net();
    b.u8(0).u32(1).text("p");            // 12: external, 13: file name
    b.i32(6).u32(5).u32(4).u32(3).u8(2);  // 18: pixel data, layout, mipmaps, alpha, 34: static
    const auto t = read_hand_block<NiSourceTexture>("NiSourceTexture", b.bytes);
    EXPECT_EQ(t->pixel_data, 6);
    EXPECT_EQ(t->unknown_link, kNoRef);
    EXPECT_EQ(t->pixel_layout, 5u);
    EXPECT_EQ(t->alpha_format, 3u);
    EXPECT_EQ(t->is_static, 2);
}

TEST(NifProperties, PixelDataKeepsTheOffsetOfItsPixels) {
    NiPixelData pixels;
    pixels.format = 4;
    pixels.masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    pixels.bits_per_pixel = 32;
    pixels.fast_compare = {1, 2, 3, 4, 5, 6, 7, 8};
    pixels.tiling = 1;
    pixels.palette = 2;
    pixels.bytes_per_pixel = 4;
    pixels.mipmaps = {{4, 4, 0}, {2, 2, 64}, {1, 1, 80}};
    pixels.num_pixels = 84;

    NifFile file = make_nif_file();
    add_nif_block(file, "NiNode", NiNode{});
    add_nif_block(file, "NiPixelData", pixels);
    add_nif_block(file, "NiNode", NiNode{});
    std::vector<std::uint8_t> payload(84);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 3 + 1);
    const NifWriteLayout layout = write_nif_layout(file, {{1, payload}});
    const NifFile read = read_nif(layout.bytes);
    const auto& block = dynamic_cast<const NiPixelData&>(*read.blocks[1]);
    pixels.type_name = "NiPixelData";
    pixels.block_index = 1;
    pixels.offset = layout.block_offsets[1];
    pixels.pixels_offset = layout.block_offsets[1] + 64 + 12 * 2;  // two more mipmaps than the hand layout below
    EXPECT_TRUE(block == pixels);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), layout.bytes.begin() + std::ptrdiff_t(block.pixels_offset)));

    HandBytes b;
    b.u32(4).u32(1).u32(2).u32(3).u32(4).u32(32);  //  0: format, 4: masks, 20: bits per pixel
    for (int i = 0; i < 8; ++i) b.u8(0);            // 24: fast compare
    b.u32(0).i32(-1).u32(1).u32(4);                 // 32: tiling, palette, 40: mipmaps, 44: bytes per pixel
    b.u32(2).u32(2).u32(0);                         // 48: mipmap
    b.u32(16);                                      // 60: num_pixels
    for (int i = 0; i < 16; ++i) b.u8(0xEE);        // 64: pixels
    const auto hand = read_hand_block<NiPixelData>("NiPixelData", b.bytes);
    EXPECT_EQ(hand->pixels_offset, 64u);
    EXPECT_EQ(hand->masks[3], 4u);
    EXPECT_EQ(hand->mipmaps, (std::vector<NifMipmap>{{2, 2, 0}}));

    b.bytes.resize(60);
    b.u32(0xFFFFFFFF);
    EXPECT_THROW(read_hand_block<NiPixelData>("NiPixelData", b.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
