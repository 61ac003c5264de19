// Everything the server keeps about one connected client.
#pragma once
#include <cstdint>
#include <string>

#include "server/connection.h"
#include "server/line_simulator.h"
#include "server/rate_bucket.h"

namespace tarkeep::server {

// Everything the server knows about one connected client.
struct ClientSession {
    ClientSession(std::uint32_t id, Connection connection) : id(id), connection(std::move(connection)) {}

    // Connection layer.
    std::uint32_t id;
    Connection connection;
    std::string peer;          // "a.b.c.d:port"
    std::string peer_address;  // "a.b.c.d"
    std::uint64_t connect_time_us = 0;
    std::uint64_t last_activity_us = 0;
    std::uint32_t ping_sequence = 0;
    std::uint64_t ping_sent_us = 0;  // 0: no ping outstanding yet
    std::uint64_t last_ping_us = 0;
    std::uint16_t round_trip_ms = 0;
    RateBucket message_bucket;
    RateBucket byte_bucket;
    RateBucket chat_bucket;
    bool closing = false;
    std::string close_reason;

    // Handshake, lobby and game.
    bool handshake_done = false;
    std::string name;
    std::uint64_t build_hash = 0;
    std::uint64_t data_hash = 0;
    std::uint32_t game_id = 0;  // 0: in no game
    bool ready = false;
    std::uint8_t player_id = 0;  // assigned at game start
    std::uint32_t next_turn = 0;

    // Frames held back by the test-mode line simulation.
    LineQueues line;
};

// A client that still exists and is not on its way out.
inline bool is_present(const ClientSession* client) { return client && !client->closing; }

}  // namespace tarkeep::server
