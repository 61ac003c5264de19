// Encoding and decoding relay messages.
#pragma once
#include <cstdint>
#include <span>

#include "net/byte_codec.h"
#include "net/messages.h"
#include "net/protocol_error.h"

namespace tarkeep::net {

// Type byte plus fields; ProtocolError when a list or text exceeds its limit or the
// payload would exceed kMaxMessage.
Bytes encode_message(const Message& message);

// All or nothing: any failure is a ProtocolError and no part of the message is kept.
Message decode_message(std::span<const std::uint8_t> payload);

// One player id byte: 1 to 10, or 0 as well when `zero_allowed`.
std::uint8_t read_player_id(ByteReader& reader, bool zero_allowed);

}  // namespace tarkeep::net
