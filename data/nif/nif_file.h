// NIF model files: the file with its blocks, the strict reader and the reference check.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/nif/nif_blocks.h"
#include "data/nif/nif_error.h"

namespace tarkeep::data {

// One NIF file: header, block types, blocks and footer roots. Owns its blocks.
struct NifFile {
    std::string header;  // first line, without its line feed
    std::uint32_t version = kNifVersion10_1_0_0;
    std::optional<std::uint32_t> user_version;  // present exactly for version 10.1.0.0
    std::vector<std::string> block_types;       // one per block
    std::vector<std::uint32_t> header_list;     // carried, not interpreted
    std::vector<std::unique_ptr<NiObject>> blocks;
    std::vector<std::uint32_t> roots;
};

// Reads a whole NIF file. Strict: an unknown block type, a block reader that does not
// consume exactly its bytes, bytes after the footer or a reference out of range throw
// NifError, and nothing partial is returned.
NifFile read_nif(std::span<const std::uint8_t> bytes);

// Checks the reference fields that read_nif checks (extra data, controllers, properties,
// children, effects, LOD data, geometry data and skin, skin bones and partition, data of
// data controllers, text keys of sequences, controllers of particle modifiers): each must
// be -1 or a block index. Throws NifError naming the block, field and value.
void check_nif_references(const NifFile& file);

}  // namespace tarkeep::data
