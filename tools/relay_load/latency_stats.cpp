#include "tools/relay_load/latency_stats.h"

#include <algorithm>
#include <cmath>

namespace tarkeep::relay_load {
namespace {

// The smallest sample with at least `fraction` of all samples at or below it.
std::uint32_t nearest_rank(std::vector<std::uint32_t>& samples, double fraction) {
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(samples.size())));
    const std::size_t index = rank == 0 ? 0 : rank - 1;
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(index), samples.end());
    return samples[index];
}

}  // namespace

LatencySummary LatencyStats::summarize() {
    LatencySummary summary;
    summary.samples = samples_.size();
    if (samples_.empty()) return summary;
    summary.p50_ms = nearest_rank(samples_, 0.50) / 1000.0;
    summary.p99_ms = nearest_rank(samples_, 0.99) / 1000.0;
    summary.max_ms = *std::max_element(samples_.begin(), samples_.end()) / 1000.0;
    return summary;
}

}  // namespace tarkeep::relay_load
