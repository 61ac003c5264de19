// The counters behind the closing statistics line.
#pragma once
#include <cstdint>

namespace tarkeep::server {

struct ServerStats {
    std::uint64_t connections = 0;  // accepted, refused ones included
    std::uint64_t refused = 0;
    std::uint64_t handshakes = 0;
    std::uint64_t games_created = 0;
    std::uint64_t games = 0;  // started
    std::uint64_t frames_received = 0;
    std::uint64_t bytes_received = 0;
    std::uint64_t bundles_relayed = 0;
    std::uint64_t hash_reports = 0;
    std::uint64_t chats = 0;
    std::uint64_t rate_limit_kicks = 0;
    std::uint64_t protocol_kicks = 0;
    std::uint64_t timeouts = 0;
    std::uint64_t drops = 0;
    std::uint64_t hash_mismatches = 0;
    std::uint64_t blob_chunks = 0;
    std::uint64_t sim_delayed = 0;
    std::uint64_t sim_stalls = 0;
    std::uint64_t denied = 0;    // closed at accept: the address is on the deny list (not printed)
    std::uint64_t too_slow = 0;  // closed by close_too_slow
};

}  // namespace tarkeep::server
