// Cutting frames out of received bytes and queuing encoded frames for sending.
#include "net/framing.h"

#include <algorithm>

namespace tarkeep::net {
namespace {

// Consumed input is erased only past this offset (or when the buffer drains), so the
// stream is copied once in the common case and still stays bounded.
constexpr std::size_t kInputCompactOffset = 65536;

}  // namespace

void FrameBuffers::fail(std::string error, FrameFailure kind) {
    if (failed()) return;
    failure_ = kind;
    error_ = std::move(error);
}

Bytes frame_of(std::span<const std::uint8_t> payload) {
    Bytes frame(4 + payload.size());
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<std::uint8_t>(length >> (8 * i));
    std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    return frame;
}

bool FrameBuffers::append_frame(std::span<const std::uint8_t> payload, std::uint64_t limit) {
    if (failed()) return false;
    const std::uint64_t pending = unsent_size() + 4 + payload.size();
    if (pending > limit) {
        fail("output buffer full (peer too slow)", FrameFailure::output_full);
        return false;
    }
    // Lazy compaction keeps appends amortised constant time.
    if (sent_offset_ != 0 && 2 * sent_offset_ > output_.size()) {
        output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(sent_offset_));
        sent_offset_ = 0;
    }
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) output_.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    output_.insert(output_.end(), payload.begin(), payload.end());
    return true;
}

void FrameBuffers::mark_sent(std::size_t count) {
    sent_offset_ += count;
    if (sent_offset_ >= output_.size()) {
        output_.clear();
        sent_offset_ = 0;
    }
}

void FrameBuffers::append_received(const std::uint8_t* data, std::size_t size) {
    input_.insert(input_.end(), data, data + size);
}

std::uint32_t FrameBuffers::length_at_read_offset() const {
    const std::uint8_t* p = input_.data() + read_offset_;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void FrameBuffers::check_frame_length() {
    if (failed() || unconsumed_input() < 4) return;
    const std::uint32_t length = length_at_read_offset();
    if (!length_is_valid(length)) fail("invalid frame length " + std::to_string(length), FrameFailure::invalid_length);
}

bool FrameBuffers::next_frame(Bytes& payload) {
    // Frames that arrived before the peer closed are still handed out after a receive
    // failure; only a bad length stops the stream.
    if (unconsumed_input() < 4) return false;
    const std::uint32_t length = length_at_read_offset();
    if (!length_is_valid(length)) {
        fail("invalid frame length " + std::to_string(length), FrameFailure::invalid_length);
        return false;
    }
    if (unconsumed_input() < 4 + static_cast<std::uint64_t>(length)) return false;
    const auto begin = input_.begin() + static_cast<std::ptrdiff_t>(read_offset_ + 4);
    payload.assign(begin, begin + length);
    read_offset_ += 4 + static_cast<std::size_t>(length);
    if (read_offset_ == input_.size()) {
        input_.clear();
        read_offset_ = 0;
    } else if (read_offset_ > kInputCompactOffset) {
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(read_offset_));
        read_offset_ = 0;
    }
    return true;
}

}  // namespace tarkeep::net
