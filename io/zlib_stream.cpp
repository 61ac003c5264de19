// The zlib wrapper: header and Adler-32 around our deflate or stored blocks, and unwrapping it.
#include "io/byte_order.h"
#include "io/zlib_stream.h"

#include <algorithm>

#include "io/checksum.h"
#include "io/deflate.h"
#include "io/inflate.h"

namespace tarkeep::io {
namespace {

constexpr std::size_t kMaxStoredBlock = 65535;

void append_stored_blocks(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data) {
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kMaxStoredBlock, data.size() - offset);
        const bool last = offset + length == data.size();
        out.push_back(last ? 1 : 0);
        out.push_back(std::uint8_t(length));
        out.push_back(std::uint8_t(length >> 8));
        out.push_back(std::uint8_t(~length));
        out.push_back(std::uint8_t(~length >> 8));
        out.insert(out.end(), data.begin() + std::ptrdiff_t(offset), data.begin() + std::ptrdiff_t(offset + length));
        offset += length;
    } while (offset < data.size());
}

}  // namespace

std::vector<std::uint8_t> zlib_wrap(std::span<const std::uint8_t> data, bool compress) {
    std::vector<std::uint8_t> stream{0x78, std::uint8_t(compress ? 0x9C : 0x01)};
    if (compress) {
        const std::vector<std::uint8_t> deflated = deflate_compress(data);
        stream.insert(stream.end(), deflated.begin(), deflated.end());
    } else {
        stream.reserve(data.size() + data.size() / kMaxStoredBlock * 5 + 16);
        append_stored_blocks(stream, data);
    }
    append_be32(stream, adler32(data));
    return stream;
}

bool zlib_header_plausible(std::span<const std::uint8_t> stream) {
    return stream.size() >= 6 && (stream[0] & 0x0F) == 8 && (stream[0] * 256u + stream[1]) % 31 == 0;
}

ZlibPayload zlib_unwrap(std::span<const std::uint8_t> stream, std::size_t expected_size, std::size_t output_limit) {
    const std::span<const std::uint8_t> deflated = stream.subspan(2, stream.size() - 6);
    ZlibPayload payload;
    payload.data = inflate(deflated, expected_size, output_limit);
    payload.checksum_matches = adler32(payload.data) == load_be32(stream.data() + stream.size() - 4);
    return payload;
}

}  // namespace tarkeep::io
