// Token buckets behind the per-client rate limits.
#pragma once
#include <cstdint>

#include "server/server_config.h"

namespace tarkeep::server {

// Token bucket refilled continuously at `rate` per second up to `capacity`.
struct RateBucket {
    double tokens = 0;
    double rate = 0;
    double capacity = 0;
    std::uint64_t last_us = 0;

    // A full bucket stamped with `now_us`.
    static RateBucket full(const RateLimit& limit, std::uint64_t now_us) {
        return RateBucket{limit.burst, limit.per_second, limit.burst, now_us};
    }

    // Takes `cost` tokens if there are enough after refilling; a rate of 0 or less
    // never refuses.
    bool take(double cost, std::uint64_t now_us);
};

}  // namespace tarkeep::server
