// A client's unsent output: encoded frames shared with the other receivers, not copied.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>

#include "net/byte_codec.h"

namespace tarkeep::server {

// One complete frame (length word and payload), encoded once and shared by every
// client it goes to.
using SharedFrame = std::shared_ptr<const net::Bytes>;
SharedFrame make_frame(std::span<const std::uint8_t> payload);

// The frames a client still has to receive. A relayed message costs each receiver one
// reference, and the limit counts what each client still owes: the bytes of its frames
// not yet sent.
class OutputQueue {
public:
    // False, taking nothing, when the unsent bytes would then exceed `limit`.
    bool append(SharedFrame frame, std::uint64_t limit);
    std::uint64_t unsent_size() const { return unsent_; }
    // Fills `parts` with the unsent bytes in order, as far as it reaches; returns the
    // number of parts filled.
    std::size_t gather(std::span<std::span<const std::uint8_t>> parts) const;
    void mark_sent(std::size_t count);

private:
    std::deque<SharedFrame> frames_;
    std::size_t front_sent_ = 0;  // of the first frame
    std::uint64_t unsent_ = 0;
};

}  // namespace tarkeep::server
