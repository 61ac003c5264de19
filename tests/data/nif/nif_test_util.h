#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

#include "data/nif/nif_file.h"
#include "data/nif/nif_reader.h"
#include "data/nif/nif_registry.h"
#include "tests/support/nif_writer.h"

namespace tarkeep::test {

// Byte builder for hand-assembled fixtures: each field is appended explicitly so that the
// layout under test is written out in the test, not taken from the writer.
class HandBytes {
public:
    HandBytes& u8(std::uint8_t v) { bytes.push_back(v); return *this; }
    HandBytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    HandBytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    HandBytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    HandBytes& f32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    HandBytes& text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    HandBytes& str(const std::string& s) { return u32(static_cast<std::uint32_t>(s.size())).text(s); }
    HandBytes& append(const std::vector<std::uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    std::size_t size() const { return bytes.size(); }

    std::vector<std::uint8_t> bytes;
};

// A 10.1.0.0 file around one block's hand-assembled data: header, one type, one block,
// one root. Returns the file; `data_offset` receives the offset of the block data.
inline std::vector<std::uint8_t> hand_file_with_block(const std::string& type, const std::vector<std::uint8_t>& data,
                                                      std::size_t* data_offset = nullptr,
                                                      std::uint32_t version = data::kNifVersion10_1_0_0) {
    HandBytes file;
    file.text("Gamebryo File Format, Version 10.1.0.0\n").u32(version);
    if (version == data::kNifVersion10_1_0_0) file.u32(0);
    file.u32(1).u16(1).str(type).u16(0).u32(0).u32(0);
    if (data_offset != nullptr) *data_offset = file.size();
    file.append(data).u32(1).u32(0);
    return file.bytes;
}

// Runs the registered reader of `type` over one block's hand-assembled data and returns
// the block as T; throws if the class is wrong or the reader leaves bytes unread.
template <class T>
std::unique_ptr<T> read_hand_block(const std::string& type, const std::vector<std::uint8_t>& data,
                                   std::uint32_t version = data::kNifVersion10_1_0_0) {
    data::NifReader reader(data, version);
    const data::NifBlockReader block_reader = data::find_nif_block_reader(type);
    if (block_reader == nullptr) throw std::runtime_error("not registered: " + type);
    std::unique_ptr<data::NiObject> block = block_reader(reader);
    if (reader.remaining() != 0) {
        throw std::runtime_error(type + " left " + std::to_string(reader.remaining()) + " of " +
                                 std::to_string(data.size()) + " bytes unread");
    }
    auto* typed = dynamic_cast<T*>(block.get());
    if (typed == nullptr || typeid(*typed) != typeid(T)) throw std::runtime_error("wrong class for " + type);
    block.release();
    return std::unique_ptr<T>(typed);
}

// Number of filler blocks after the block under test, so that references up to this
// value are valid and the next separator checks the block's size.
inline constexpr int kFillerBlocks = 8;

// Writes `block` under `type` followed by filler blocks, reads the file back and checks
// that the block comes back equal, with its class, type name, index and offset.
template <class T>
void expect_round_trip(const std::string& type, const T& block,
                       std::uint32_t version = data::kNifVersion10_1_0_0) {
    data::NifFile file = make_nif_file(version);
    add_nif_block(file, type, block);
    for (int i = 0; i < kFillerBlocks; ++i) {
        data::NiIntegerExtraData filler;
        filler.name = "filler";
        filler.value = 0xF111E500u + static_cast<std::uint32_t>(i);
        add_nif_block(file, "NiIntegerExtraData", filler);
    }
    file.roots = {0};
    const NifWriteLayout layout = write_nif_layout(file);
    const data::NifFile read = data::read_nif(layout.bytes);
    ASSERT_EQ(read.blocks.size(), 1u + kFillerBlocks);
    const data::NiObject& first = *read.blocks[0];
    ASSERT_EQ(typeid(first), typeid(T)) << type;
    T expected = block;
    expected.type_name = type;
    expected.block_index = 0;
    expected.offset = layout.block_offsets[0];
    EXPECT_TRUE(static_cast<const T&>(first) == expected) << type << " did not survive the round trip";
    const auto& last = dynamic_cast<const data::NiIntegerExtraData&>(*read.blocks.back());
    EXPECT_EQ(last.value, 0xF111E500u + kFillerBlocks - 1);
}

// Distinct values in every base field, so that a swapped field shows up.
inline void fill_object_net(data::NiObjectNET& block, const std::string& name) {
    block.name = name;
    block.extra_data = {3, 4};
    block.controller = 5;
}

inline void fill_av_object(data::NiAVObject& block, const std::string& name) {
    fill_object_net(block, name);
    block.flags = 0x1234;
    block.translation = {1.5f, -2.5f, 3.25f};
    block.rotation.m = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    block.scale = 0.75f;
    block.properties = {6, 7, -1};
    block.collision = 8;
}

// The message of the NifError that reading `bytes` throws ("" when it does not throw).
inline std::string nif_error_of(const std::vector<std::uint8_t>& bytes) {
    try {
        data::read_nif(bytes);
    } catch (const data::NifError& error) {
        return error.what();
    }
    return "";
}

}  // namespace tarkeep::test
