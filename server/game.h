// A lobby, and once started, a running lockstep game.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/messages.h"

namespace tarkeep::server {

// A lobby, and once started, a running lockstep game.
struct Game {
    std::uint32_t id = 0;
    std::string name;
    std::string map;
    std::string settings;
    std::uint64_t host_tag = 0;
    std::uint64_t build_hash = 0;
    std::uint64_t data_hash = 0;
    std::uint8_t max_players = 1;
    std::uint32_t host = 0;
    std::vector<std::uint32_t> members;  // join order; the first is the creator
    bool running = false;
    net::LockstepParams params;
    std::map<std::uint8_t, std::uint32_t> last_turn_by_player;
    std::map<std::uint8_t, bool> dropped_players;
    std::map<std::uint32_t, std::map<std::uint8_t, std::uint64_t>> hashes_by_tick;
    std::map<std::uint8_t, std::uint32_t> latest_tick_by_player;  // of each player's last hash report
    std::uint64_t last_ping_table_us = 0;
    std::uint64_t bytes_relayed = 0;  // frames passed on, counted once per receiver
};

}  // namespace tarkeep::server
