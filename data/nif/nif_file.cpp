// Reading a whole NIF file: header line, version, type table, blocks through the registry, footer.
#include "data/nif/nif_file.h"

#include <algorithm>
#include <cstdio>

#include "data/nif/nif_reader.h"
#include "data/nif/nif_registry.h"

namespace tarkeep::data {

namespace {

std::string read_header_line(NifReader& reader) {
    const auto bytes = reader.bytes();
    const auto line_end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0x0A});
    if (line_end == bytes.end()) throw NifError("no header line");
    const auto length = static_cast<std::size_t>(line_end - bytes.begin());
    std::string header(reinterpret_cast<const char*>(bytes.data()), length);
    reader.skip(length + 1);
    return header;
}

void read_version(NifReader& reader, NifFile& file) {
    file.version = reader.u32();
    if (file.version == kNifVersion10_1_0_0) {
        file.user_version = reader.u32();
    } else if (file.version != kNifVersion10_0_1_0) {
        char text[16];
        std::snprintf(text, sizeof text, "%08X", file.version);
        throw NifError(std::string("unsupported NIF version 0x") + text);
    }
    reader.set_version(file.version);
}

std::vector<std::string> read_type_table(NifReader& reader) {
    const std::uint16_t count = reader.u16();
    reader.require_elements(count, sizeof(std::uint32_t));
    std::vector<std::string> types;
    types.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) types.push_back(reader.string());
    return types;
}

// Each block's index into the type table. The names are copied into the file only as
// blocks are read: a few bytes of indices must not make one copy of a long name each.
std::vector<std::uint16_t> read_block_type_indices(NifReader& reader, std::uint32_t block_count,
                                                   const std::vector<std::string>& type_table) {
    std::vector<std::uint16_t> type_index = reader.values<std::uint16_t>(block_count);
    for (const std::uint16_t index : type_index) {
        if (index >= type_table.size()) throw NifError("block type index out of range");
    }
    return type_index;
}

std::unique_ptr<NiObject> read_block(NifReader& reader, NifFile& file, std::uint32_t index, const std::string& type) {
    file.block_types.push_back(type);
    const NifBlockReader block_reader = find_nif_block_reader(type);
    if (block_reader == nullptr) {
        throw NifError("block " + std::to_string(index) + ": " + type + " not supported");
    }
    if (reader.u32() != 0) {
        const std::string previous = index == 0 ? "-" : file.block_types[index - 1];
        throw NifError("block " + std::to_string(index) + " " + type + ": separator != 0 -> previous block " +
                       previous + " misparsed");
    }
    const std::size_t offset = reader.position();
    std::unique_ptr<NiObject> block;
    try {
        block = block_reader(reader);
    } catch (const NifError& error) {
        throw NifError("block " + std::to_string(index) + " " + type + " at " + std::to_string(offset) + ": " +
                       error.what());
    }
    block->type_name = type;
    block->block_index = index;
    block->offset = offset;
    return block;
}

}  // namespace

NifFile read_nif(std::span<const std::uint8_t> bytes) {
    NifReader reader(bytes);
    NifFile file;
    file.header = read_header_line(reader);
    read_version(reader, file);
    const std::uint32_t block_count = reader.u32();
    const std::vector<std::string> type_table = read_type_table(reader);
    const std::vector<std::uint16_t> type_index = read_block_type_indices(reader, block_count, type_table);
    file.header_list = reader.u32_list();

    file.blocks.reserve(block_count);
    for (std::uint32_t i = 0; i < block_count; ++i)
        file.blocks.push_back(read_block(reader, file, i, type_table[type_index[i]]));

    file.roots = reader.u32_list();
    if (reader.remaining() != 0) {
        throw NifError(std::to_string(reader.remaining()) + " bytes left after footer: a field layout is wrong");
    }
    check_nif_references(file);
    return file;
}

}  // namespace tarkeep::data
