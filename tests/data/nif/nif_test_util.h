// Hand-assembled NIF bytes for the block tests, and running one block reader over them.
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
#include "tests/data/error_text.h"
#include "data/nif/nif_writer.h"

namespace tarkeep::test {

using data::NifByteWriter;

// Byte builder for hand-assembled fixtures: each field is appended explicitly so that the
// layout under test is written out in the test, not taken from the writer.
class HandBytes {
public:
    HandBytes& u8(std::uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
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

// NiObjectNET fields: name "net", extra data {9}, controller 5. 19 bytes.
inline HandBytes object_net_bytes() { return HandBytes().str("net").u32(1).i32(9).i32(5); }

// NiAVObject fields, every one distinct; offsets relative to the block data. 90 bytes.
inline HandBytes av_object_bytes() {
    HandBytes b;
    b.u32(4).text("Root");                            //  0: name
    b.u32(1).i32(9);                                  //  8: extra_data
    b.i32(5);                                         // 16: controller
    b.u16(0x000E);                                    // 20: flags
    b.f32(1).f32(2).f32(3);                           // 22: translation
    for (int i = 0; i < 9; ++i) b.f32(float(i) / 8);  // 34: rotation, row by row
    b.f32(0.5f);                                      // 70: scale
    b.u32(2).i32(3).i32(4);                           // 74: properties
    b.i32(6);                                         // 86: collision
    return b;
}

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

// Runs the registered reader of `type` over one block's data and returns the block as T;
// throws if the class is wrong or the reader leaves bytes unread.
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

// Round trip from bytes: reads hand-assembled data, writes the block back and expects the
// same bytes, so reader and writer agree on every (distinct) field. Returns the block.
template <class T>
std::unique_ptr<T> round_trip_hand_block(const std::string& type, const std::vector<std::uint8_t>& data,
                                         std::uint32_t version = data::kNifVersion10_1_0_0) {
    std::unique_ptr<T> block = read_hand_block<T>(type, data, version);
    NifByteWriter out;
    write_nif_block(out, type, *block, version);
    EXPECT_EQ(out.data(), data) << type << " was written back differently";
    return block;
}

// The message of the NifError that reading `bytes` throws, or "no error".
inline std::string nif_error_of(const std::vector<std::uint8_t>& bytes) {
    return error_text<data::NifError>([&] { data::read_nif(bytes); });
}

}  // namespace tarkeep::test
