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

bool Connection::queue_shared(SharedFrame frame) {
    if (failed()) return false;
    if (output_.append(std::move(frame), buffer_limit_)) return true;
    frames_.fail("output buffer full (peer too slow)", net::FrameFailure::output_full);
    return false;
}

bool Connection::send_pending() {
    // One gathered write per round: many small frames cost one call, not one each.
    std::array<std::span<const std::uint8_t>, 64> parts;
    while (output_.unsent_size() != 0) {
        const std::size_t count = output_.gather(parts);
        const platform::IoResult result = platform::send_gathered(socket_, std::span(parts.data(), count));
        if (result.status == platform::IoStatus::would_block) break;
        if (result.status != platform::IoStatus::done) {
            frames_.fail("send failed");
            break;
        }
        output_.mark_sent(result.count);
    }
    return !frames_.failed();
}

}  // namespace tarkeep::server
