// Everything a relay server is configured with.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace tarkeep::server {

// Test-mode delays and stalls of the line simulation.
struct LineSimConfig {
    std::uint32_t latency_ms = 0;
    std::uint32_t jitter_ms = 0;
    std::uint32_t hold_ms = 0;
    std::uint32_t hold_every_ms = 0;
    std::uint64_t seed = 1;

    bool active() const { return latency_ms != 0 || jitter_ms != 0 || (hold_ms != 0 && hold_every_ms != 0); }
};

struct RateLimit {
    double per_second = 0;  // 0 or less: unlimited
    double burst = 0;
};

struct ServerConfig {
    std::string host = "0.0.0.0";
    std::uint16_t port = 26200;  // 0 lets the system choose
    std::uint64_t max_clients = 64;
    std::uint64_t max_clients_per_address = 8;
    std::uint64_t max_games = 16;
    std::uint32_t handshake_timeout_ms = 5000;
    std::uint32_t idle_timeout_ms = 20000;
    std::uint32_t ping_interval_ms = 1000;
    RateLimit message_rate{300, 600};                 // frames
    RateLimit byte_rate{524288, 1048576};             // frame length + 4
    RateLimit chat_rate{1, 5};                        // chat messages
    std::uint64_t spare_buffer_size = 262144;         // kept for compatibility; nothing reads it
    std::uint64_t connection_buffer_limit = 4194304;  // unconsumed input and unsent output
    std::string motd = "Tarkeep relay";
    std::function<void(const std::string&)> log_sink;  // replaces console logging when set
    bool quiet = false;
    bool log_date = false;             // stamp console lines with the date as well as the time
    std::uint32_t status_every_s = 0;  // 0: a status block only when asked for
    std::string deny_file;             // none when empty
    LineSimConfig line_sim;
};

}  // namespace tarkeep::server
