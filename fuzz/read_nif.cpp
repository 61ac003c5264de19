// Fuzzes read_nif. Half of the inputs are whole files; the other half get a valid frame
// (header, version, a type table of registered names, a block type index) built from the
// first bytes, so that the fuzzer spends its time inside the block readers instead of
// guessing type names.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/nif/nif_file.h"
#include "fuzz/support/nif_frame.h"

namespace {

using namespace tarkeep::data;

void read(const std::vector<std::uint8_t>& bytes) {
    try {
        const NifFile file = read_nif(bytes);
        // A document that was read must be consistent with its bytes.
        if (file.blocks.size() != file.block_types.size()) __builtin_trap();
        for (const auto& block : file.blocks) {
            if (block->offset > bytes.size()) __builtin_trap();
            if (auto* pixels = dynamic_cast<const NiPixelData*>(block.get())) {
                if (pixels->pixels_offset + pixels->num_pixels > bytes.size()) __builtin_trap();
            }
        }
    } catch (const NifError&) {}
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        read(tarkeep::fuzz::framed_nif(data, size));
    } else {
        read(std::vector<std::uint8_t>(data + 1, data + size));
    }
    return 0;
}
