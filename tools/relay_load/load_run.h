#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "tools/relay_load/latency_stats.h"
#include "tools/relay_load/load_options.h"

namespace tarkeep::relay_load {

struct LoadReport {
    bool ok = false;
    std::string error;  // why the run could not be set up
    std::uint32_t bots = 0;
    std::uint32_t games_started = 0;
    double play_seconds = 0;  // from the moment every game ran to the end of sending
    std::uint64_t bundles_sent = 0;
    std::uint64_t hashes_sent = 0;
    std::uint64_t bundles_received = 0;  // by all bots together, during play
    std::uint64_t hashes_received = 0;
    std::uint64_t expected_bundles = 0;  // what full delivery of the sent bundles gives
    std::uint64_t order_errors = 0;
    std::uint64_t drops_seen = 0;
    std::uint32_t bots_lost = 0;
    std::map<std::string, std::uint64_t> notices;
    LatencySummary latency;
    // The second round, beside the hostile connections (when asked for).
    struct HostileRound {
        std::uint32_t peers = 0;
        double play_seconds = 0;
        std::uint64_t bundles_received = 0;
        std::uint64_t expected_bundles = 0;
        std::uint64_t connects = 0;
        std::uint64_t closed_by_server = 0;
        LatencySummary latency;
    } hostile;

    double bundles_per_second() const { return play_seconds > 0 ? bundles_received / play_seconds : 0; }
    double relayed_per_second() const {
        return play_seconds > 0 ? (bundles_received + hashes_received) / play_seconds : 0;
    }
};

// Connects the bots, sets up and starts their games, plays for the given time and
// collects what the bots saw. Bounded in time: the setup gives up after 30 s.
// `progress` (may be empty) hears when the bots are connected and when play starts.
LoadReport run_load(const LoadOptions& options, const std::function<void(const std::string&)>& progress = {});

// The report as people read it.
std::string format_report(const LoadOptions& options, const LoadReport& report);

}  // namespace tarkeep::relay_load
