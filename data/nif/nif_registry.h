// The registry of NIF block types: each supported type name and its reader.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NifBlockType {
    std::string_view name;
    NifBlockReader reader;
};

// Every supported block type, in registration order.
std::span<const NifBlockType> nif_block_types();

// The reader registered for exactly this (case-sensitive) type name, or nullptr.
NifBlockReader find_nif_block_reader(std::string_view type_name);

}  // namespace tarkeep::data
