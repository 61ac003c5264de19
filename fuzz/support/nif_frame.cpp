// Building a valid NIF header and type table around fuzzer bytes.
#include "fuzz/support/nif_frame.h"

#include <string_view>

#include "data/nif/nif_file.h"
#include "data/nif/nif_registry.h"

namespace tarkeep::fuzz {
namespace {

using namespace tarkeep::data;

void put_u16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put_u16(out, static_cast<std::uint16_t>(v));
    put_u16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

std::vector<std::uint8_t> framed_nif(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file;
    std::size_t at = 1;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    const auto types = nif_block_types();
    const std::size_t type_count = 1 + next() % 4;
    const bool old_version = next() & 1;
    static constexpr std::string_view kHeader = "Gamebryo File Format, Version 10.1.0.0\n";
    file.insert(file.end(), kHeader.begin(), kHeader.end());
    put_u32(file, old_version ? kNifVersion10_0_1_0 : kNifVersion10_1_0_0);
    if (!old_version) put_u32(file, 0);
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < type_count; ++i) names.push_back(types[next() % types.size()].name);
    const std::size_t block_count = next() % 6;
    put_u32(file, static_cast<std::uint32_t>(block_count));
    put_u16(file, static_cast<std::uint16_t>(type_count));
    for (const auto name : names) {
        put_u32(file, static_cast<std::uint32_t>(name.size()));
        file.insert(file.end(), name.begin(), name.end());
    }
    for (std::size_t i = 0; i < block_count; ++i) put_u16(file, static_cast<std::uint16_t>(next() % type_count));
    put_u32(file, 0);  // header_list
    if (at < size) file.insert(file.end(), data + at, data + size);
    return file;
}

}  // namespace tarkeep::fuzz
