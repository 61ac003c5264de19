// Token bucket refill and take.
#include "server/microseconds.h"
#include "server/rate_bucket.h"

#include <algorithm>

namespace tarkeep::server {

bool RateBucket::take(double cost, std::uint64_t now_us) {
    if (rate <= 0) return true;
    // A clock that went back refills nothing rather than a wrapped eternity.
    const std::uint64_t elapsed = now_us > last_us ? now_us - last_us : 0;
    tokens =
        std::min(tokens + static_cast<double>(elapsed) * rate / static_cast<double>(kMicrosecondsPerSecond), capacity);
    last_us = now_us;
    if (cost > tokens) return false;
    tokens -= cost;
    return true;
}

}  // namespace tarkeep::server
