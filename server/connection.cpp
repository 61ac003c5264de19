// Reading a client socket into its frame buffers and writing them out.
#include "server/connection.h"

#include <array>

namespace tarkeep::server {

void Connection::receive() {
    if (frames_.failed()) return;
    std::array<std::uint8_t, 16384> chunk;
    // Pausing here bounds the input buffer; the rest is read once frames are consumed.
    while (frames_.unconsumed_input() <= buffer_limit_) {
        const platform::IoResult result = platform::receive_some(socket_, chunk.data(), chunk.size());
        switch (result.status) {
            case platform::IoStatus::done:
                frames_.append_received(chunk.data(), result.count);
                total_received_ += result.count;
                // A short read emptied the socket: what comes later is polled for.
                if (result.count < chunk.size()) return;
                break;
            case platform::IoStatus::would_block: return;
            case platform::IoStatus::closed: frames_.fail("closed by peer"); return;
            case platform::IoStatus::failed: frames_.fail("receive failed"); return;
        }
    }
}

bool Connection::discard_input() {
    std::array<std::uint8_t, 16384> chunk;
    // Bounded per call, so a peer that keeps sending cannot hold up the step.
    for (int i = 0; i < 16; ++i) {
        const platform::IoResult result = platform::receive_some(socket_, chunk.data(), chunk.size());
        if (result.status == platform::IoStatus::would_block) return false;
        if (result.status != platform::IoStatus::done) return true;
    }
    return false;
}

bool Connection::send_pending() {
    while (frames_.unsent_size() != 0) {
        const auto pending = frames_.unsent();
        const platform::IoResult result = platform::send_some(socket_, pending.data(), pending.size());
        if (result.status == platform::IoStatus::would_block) break;
        if (result.status != platform::IoStatus::done) {
            frames_.fail("send failed");
            break;
        }
        frames_.mark_sent(result.count);
    }
    return !frames_.failed();
}

}  // namespace tarkeep::server
