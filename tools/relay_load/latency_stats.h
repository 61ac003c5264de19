#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::relay_load {

struct LatencySummary {
    std::uint64_t samples = 0;
    double p50_ms = 0;
    double p99_ms = 0;
    double max_ms = 0;
};

// Relay latencies in microseconds, kept whole so the percentiles are exact.
class LatencyStats {
public:
    void add(std::uint64_t microseconds) {
        samples_.push_back(static_cast<std::uint32_t>(microseconds > UINT32_MAX ? UINT32_MAX : microseconds));
    }
    std::uint64_t count() const { return samples_.size(); }
    // Nearest-rank percentiles; reorders the samples.
    LatencySummary summarize();

private:
    std::vector<std::uint32_t> samples_;
};

}  // namespace tarkeep::relay_load
