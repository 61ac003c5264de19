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

#include "data/nif/nif_blocks.h"
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

// Block `ref` of a file being built, as the type the caller gave it.
template <class T>
T& nif_block(data::NifFile& file, data::NifRef ref) {
    return dynamic_cast<T&>(*file.blocks.at(static_cast<std::size_t>(ref)));
}

// Builders for made-up models and animations. Each appends its blocks and returns the reference
// of the last one.

// A node, made a child of `parent` when that is set.
data::NifRef add_nif_node(data::NifFile& file, const std::string& name, data::NifVec3 translation = {},
                          data::NifRef parent = data::kNoRef);
void add_nif_child(data::NifFile& file, data::NifRef parent, data::NifRef child);

// A 1 x 2 quad in the x-z plane (normals -y), u along x and v down the quad by default.
struct NifQuad {
    std::string name;
    std::vector<data::NifRef> properties;
    data::NifRef parent = data::kNoRef;
    std::vector<data::NifTexCoord> uvs{{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    data::NifVec3 translation{};
    data::NifVec3 center{};  // of the bounding sphere
    float radius = 0;
};
// NiTriShapeData, then the NiTriShape.
data::NifRef add_nif_quad(data::NifFile& file, const NifQuad& quad);

// A texturing property (7 slots, 8 with decals) showing `base` and up to two `decals`
// (source texture blocks added before), every slot with `filter`.
data::NifRef add_nif_texturing(data::NifFile& file, data::NifRef base, const std::vector<data::NifRef>& decals = {},
                               std::uint32_t apply_mode = 0, std::uint32_t filter = 0);
// The same with an external source texture named `texture`, added first.
data::NifRef add_nif_texturing(data::NifFile& file, const std::string& texture);

// A keyframe file's start: the sequence `name` (block 0) accumulating on Bip01, and its
// text keys "start" at 0 and "end" at 1 (block 1).
data::NifFile make_nif_sequence(const std::string& name);

// A controller of `type` in the sequence of block 0, animating the node `target`, followed
// by its data block.
template <class T>
data::NifRef add_nif_controller(data::NifFile& file, std::string type, const std::string& target, std::string data_type,
                                T data, std::uint16_t flags = 0, float stop_time = 0) {
    data::NiDataController controller;
    controller.flags = flags;
    controller.stop_time = stop_time;
    controller.data = static_cast<data::NifRef>(file.blocks.size() + 1);
    const data::NifRef ref = add_nif_block(file, std::move(type), controller);
    add_nif_block(file, std::move(data_type), std::move(data));
    nif_block<data::NiControllerSequence>(file, 0).blocks.push_back({target, ref});
    return ref;
}

}  // namespace tarkeep::data
