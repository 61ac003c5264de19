// Length-prefixed frames over a byte stream, both directions of one connection.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "net/byte_codec.h"

namespace tarkeep::net {

// Why a FrameBuffers stream failed, so callers need not read its text.
enum class FrameFailure {
    none,
    invalid_length,  // a length field of 0 or beyond the maximum frame length
    output_full,     // queuing a frame would have passed the output limit
    transport,       // the socket under the stream: peer closed, receive or send failed
};

// One frame as it goes on the wire: the payload's u32 little-endian length, then the payload.
Bytes frame_of(std::span<const std::uint8_t> payload);

// Largest frame payload accepted from a client (also the largest message).
inline constexpr std::uint32_t kMaxClientFrame = 65536;

// Both directions of one framed stream: received bytes waiting to be cut into frames,
// and encoded frames waiting to be sent. A frame is a u32 little-endian payload length
// followed by the payload. Once failed (bad length, output overflow) the stream takes
// no more frames and keeps the first error text.
class FrameBuffers {
public:
    explicit FrameBuffers(std::uint32_t max_frame_length = kMaxClientFrame) : max_frame_length_(max_frame_length) {}

    // Queues one frame unless the unsent bytes would then exceed `limit`.
    bool append_frame(std::span<const std::uint8_t> payload, std::uint64_t limit);
    // Cuts the next complete frame out of the input; false while incomplete or when the
    // length field is invalid (which fails the stream).
    bool next_frame(Bytes& payload);
    // Fails the stream as soon as the length field at the read offset is invalid,
    // without waiting for the rest of the frame.
    void check_frame_length();

    void append_received(const std::uint8_t* data, std::size_t size);
    std::uint64_t unconsumed_input() const { return input_.size() - read_offset_; }

    std::span<const std::uint8_t> unsent() const {
        return std::span<const std::uint8_t>(output_).subspan(sent_offset_);
    }
    std::uint64_t unsent_size() const { return output_.size() - sent_offset_; }
    // Records `count` more bytes as sent; an emptied buffer is reset.
    void mark_sent(std::size_t count);

    bool failed() const { return failure_ != FrameFailure::none; }
    FrameFailure failure() const { return failure_; }
    const std::string& error() const { return error_; }
    // Keeps the first failure; later ones are ignored.
    void fail(std::string error, FrameFailure kind = FrameFailure::transport);

    std::uint32_t max_frame_length() const { return max_frame_length_; }
    // Buffer geometry, for tests of the compaction rules.
    std::size_t input_capacity_used() const { return input_.size(); }
    std::size_t read_offset() const { return read_offset_; }
    std::size_t output_capacity_used() const { return output_.size(); }
    std::size_t sent_offset() const { return sent_offset_; }

private:
    bool length_is_valid(std::uint32_t length) const { return length != 0 && length <= max_frame_length_; }
    std::uint32_t length_at_read_offset() const;

    std::uint32_t max_frame_length_;
    Bytes input_;
    std::size_t read_offset_ = 0;
    Bytes output_;
    std::size_t sent_offset_ = 0;
    FrameFailure failure_ = FrameFailure::none;
    std::string error_;
};

}  // namespace tarkeep::net
