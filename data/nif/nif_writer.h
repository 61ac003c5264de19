// Writes NIF files from the reader's own block classes: made-up models for the sample game,
// the fuzz seeds and the tests of the reader, the model pipeline and the glTF export.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "data/nif/nif_file.h"

namespace tarkeep::data {

// Little-endian byte sink with the NIF field encodings.
class NifByteWriter {
public:
    // Values whose memory layout is their file layout (numbers and the reader's value
    // types), one after the other.
    template <class... T>
    void raw(const T&... values) {
        static_assert((std::is_trivially_copyable_v<T> && ...));
        (bytes(reinterpret_cast<const std::uint8_t*>(&values), sizeof(T)), ...);
    }
    template <class T>
    void raw_run(const std::vector<T>& values) {
        for (const T& value : values) raw(value);
    }
    void u8(std::uint8_t value) { raw(value); }
    void u16(std::uint16_t value) { raw(value); }
    void u32(std::uint32_t value) { raw(value); }
    void bool8(bool value) { u8(value ? 1 : 0); }
    void string(std::string_view text);
    // u32 count, then the values.
    template <class T>
    void counted(const std::vector<T>& values) {
        u32(static_cast<std::uint32_t>(values.size()));
        raw_run(values);
    }
    void bytes(const std::uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }

    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t>& data() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Where the parts of a written file start, for tests that damage it.
struct NifWriteLayout {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> block_offsets;  // data of each block (after its separator)
    std::vector<std::size_t> block_ends;     // first byte after each block's data
};

// Pixel bytes of NiPixelData blocks by block index; missing ones are written as zeros.
using NifPixelPayloads = std::map<std::size_t, std::vector<std::uint8_t>>;

// Writes header, type table (types in order of first use), block type index,
// header_list, each block after a zero separator, and the roots. Throws
// std::invalid_argument when a block's class does not fit its type name or its
// counts disagree with its lists.
NifWriteLayout write_nif_layout(const data::NifFile& file, const NifPixelPayloads& pixels = {});
std::vector<std::uint8_t> write_nif(const data::NifFile& file, const NifPixelPayloads& pixels = {});

// The data of one block (no separator), as the reader of `type_name` expects it.
void write_nif_block(NifByteWriter& out, std::string_view type_name, const data::NiObject& block, std::uint32_t version,
                     const std::vector<std::uint8_t>* pixels = nullptr);

// An empty document with the header line and user version of `version`.
data::NifFile make_nif_file(std::uint32_t version = data::kNifVersion10_1_0_0);

// Appends a block under `type_name` and returns its reference.
template <class T>
data::NifRef add_nif_block(data::NifFile& file, std::string type_name, T block) {
    const auto index = static_cast<data::NifRef>(file.blocks.size());
    block.type_name = type_name;
    block.block_index = static_cast<std::uint32_t>(index);
    file.block_types.push_back(std::move(type_name));
    file.blocks.push_back(std::make_unique<T>(std::move(block)));
    return index;
}

}  // namespace tarkeep::data
