// A valid NIF header, type table (registered names) and block type index built from a few
// control bytes, so that fuzzing spends its time inside the block readers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarkeep::fuzz {

// `data`: [mode][type count][version][types...][block count][type index...], then the
// block stream (separators, block data, footer) as given. The mode byte is skipped.
std::vector<std::uint8_t> framed_nif(const std::uint8_t* data, std::size_t size);

}  // namespace tarkeep::fuzz
