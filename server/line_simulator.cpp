// Test-mode line simulation: deterministic due times and stalls.
#include "server/line_simulator.h"

#include <algorithm>

namespace tarkeep::server {

std::uint64_t LineSimulator::draw() {
    std::uint64_t x = state_;
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    state_ = x;
    return x;
}

std::uint64_t LineSimulator::due_time(std::uint64_t& last_due_us, std::uint64_t now_us) {
    // Always draw, so the sequence does not depend on whether jitter is set.
    const std::uint64_t random = draw();
    const std::uint64_t jitter_us = config_.jitter_ms != 0 ? random % (std::uint64_t{config_.jitter_ms} * 1000 + 1) : 0;
    const std::uint64_t due = std::max(last_due_us, now_us + std::uint64_t{config_.latency_ms} * 1000 + jitter_us);
    last_due_us = due;
    return due;
}

std::optional<std::size_t> LineSimulator::stall_due(std::uint64_t now_us, std::size_t client_count) {
    if (config_.hold_ms == 0 || config_.hold_every_ms == 0 || client_count == 0) return std::nullopt;
    const std::uint64_t every_us = std::uint64_t{config_.hold_every_ms} * 1000;
    if (next_stall_us_ == 0) {
        next_stall_us_ = now_us + every_us;
        return std::nullopt;
    }
    if (now_us < next_stall_us_) return std::nullopt;
    const auto position = static_cast<std::size_t>(state_ % client_count);
    next_stall_us_ = now_us + every_us / 2 + state_ % (every_us + 1);
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return position;
}

}  // namespace tarkeep::server
