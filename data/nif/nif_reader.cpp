// The out-of-line parts of the NIF byte cursor: the past-end failure, strings and counted lists.
#include "data/nif/nif_reader.h"

#include "data/nif/nif_error.h"

namespace tarkeep::data {

void NifReader::fail_past_end() const { throw NifError("read past end at " + std::to_string(position_)); }

std::string NifReader::string() {
    const std::size_t length_position = position_;
    const std::uint32_t length = u32();
    if (length > kMaxStringLength) {
        throw NifError("implausible string length " + std::to_string(length) + " at " +
                       std::to_string(length_position));
    }
    require(length);
    std::string text(reinterpret_cast<const char*>(data_.data() + position_), length);
    position_ += length;
    return text;
}

std::vector<NifRef> NifReader::ref_list() { return values<NifRef>(u32()); }

std::vector<std::uint32_t> NifReader::u32_list() { return values<std::uint32_t>(u32()); }

}  // namespace tarkeep::data
