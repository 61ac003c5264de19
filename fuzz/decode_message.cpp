// Relay messages from untrusted bytes: decoding either fails with a ProtocolError or
// gives a message that encodes back to exactly the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "net/message_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarkeep::net;
    Message message;
    try {
        message = decode_message(std::span<const std::uint8_t>(data, size));
    } catch (const ProtocolError&) {
        return 0;
    }
    const Bytes encoded = encode_message(message);
    if (encoded.size() != size || !std::equal(encoded.begin(), encoded.end(), data)) __builtin_trap();
    if (decode_message(encoded) != message) __builtin_trap();
    return 0;
}
