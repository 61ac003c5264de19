#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tarkeep::relay_load {

struct LoadOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 26200;
    std::uint32_t games = 8;
    std::uint32_t players = 8;            // per game, 1 to 8
    double turns_per_second = 10;         // per bot
    std::uint32_t seconds = 20;           // of play, after every game has started
    std::uint32_t commands = 3;           // per bundle
    std::uint32_t hash_every = 5;         // turns between hash reports (0: none)
    std::uint32_t per_address = 8;        // bots per loopback source address (0: no binding)
    std::uint32_t hostile = 0;            // hostile connections for a second round of play
    std::uint32_t serve_frame_limit = 0;  // >0: serve in-process with this frame limit per client

    std::uint32_t clients() const { return games * players; }
};

enum class OptionsStatus { run, help, usage };

struct ParsedLoadOptions {
    OptionsStatus status = OptionsStatus::run;
    LoadOptions options;
    std::string error;  // for usage: what was wrong
};

// The frame rate a relay allows each client by default, less a margin: "--rate max"
// sends turns as fast as that allows with the hash reports and pongs on top.
inline constexpr double SERVER_FRAMES_PER_SECOND = 300;

ParsedLoadOptions parse_load_options(const std::vector<std::string>& arguments);

extern const char* const LOAD_USAGE;

}  // namespace tarkeep::relay_load
