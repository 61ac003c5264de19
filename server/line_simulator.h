// Test-mode line simulation: delayed frames and stalls.
#pragma once
#include <cstdint>
#include <deque>
#include <optional>

#include "net/byte_codec.h"
#include "server/output_queue.h"
#include "server/server_config.h"

namespace tarkeep::server {

struct DelayedFrame {
    std::uint64_t due_us = 0;
    net::Bytes payload;
};

struct DelayedOutput {
    std::uint64_t due_us = 0;
    SharedFrame frame;
};

// One client's held-back frames. Due times never decrease per direction, so the
// queues stay in arrival order. The byte counts (frames with their length words) let
// the server hold each queue to the connection buffer limit.
struct LineQueues {
    std::deque<DelayedFrame> inbound;
    std::deque<DelayedOutput> outbound;
    std::uint64_t inbound_bytes = 0;
    std::uint64_t outbound_bytes = 0;
    std::uint64_t last_inbound_due_us = 0;
    std::uint64_t last_outbound_due_us = 0;
    std::uint64_t stalled_until_us = 0;
};

// Test-mode delays and stalls, deterministic for a seed.
class LineSimulator {
public:
    explicit LineSimulator(const LineSimConfig& config) : config_(config) {}

    bool active() const { return config_.active(); }
    // Called once the server runs; the state must never be 0 for xorshift.
    void seed() { state_ = config_.seed | 1; }

    // Due time of one frame in one direction; `last_due_us` is that direction's last.
    std::uint64_t due_time(std::uint64_t& last_due_us, std::uint64_t now_us);

    // When a stall starts now, the position (in ascending client id order) of the
    // client to stall; also schedules the next stall.
    std::optional<std::size_t> stall_due(std::uint64_t now_us, std::size_t client_count);
    std::uint64_t stall_length_us() const { return std::uint64_t{config_.hold_ms} * 1000; }

    std::uint64_t state() const { return state_; }
    std::uint64_t next_stall_us() const { return next_stall_us_; }

private:
    std::uint64_t draw();

    LineSimConfig config_;
    std::uint64_t state_ = 1;
    std::uint64_t next_stall_us_ = 0;  // 0: not yet scheduled
};

}  // namespace tarkeep::server
