// Shared frames and the per-client queue of what is still to be sent.
#include "server/output_queue.h"

#include "net/framing.h"

namespace tarkeep::server {

SharedFrame make_frame(std::span<const std::uint8_t> payload) {
    return std::make_shared<net::Bytes>(net::frame_of(payload));
}

bool OutputQueue::append(SharedFrame frame, std::uint64_t limit) {
    if (unsent_ + frame->size() > limit) return false;
    unsent_ += frame->size();
    frames_.push_back(std::move(frame));
    return true;
}

std::size_t OutputQueue::gather(std::span<std::span<const std::uint8_t>> parts) const {
    std::size_t count = 0;
    for (; count < parts.size() && count < frames_.size(); ++count)
        parts[count] = std::span<const std::uint8_t>(*frames_[count]).subspan(count == 0 ? front_sent_ : 0);
    return count;
}

void OutputQueue::mark_sent(std::size_t count) {
    unsent_ -= count;
    while (count != 0) {
        const std::size_t left = frames_.front()->size() - front_sent_;
        if (count < left) {
            front_sent_ += count;
            return;
        }
        count -= left;
        frames_.pop_front();
        front_sent_ = 0;
    }
}

}  // namespace tarkeep::server
