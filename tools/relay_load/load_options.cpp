#include "tools/relay_load/load_options.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace tarkeep::relay_load {

const char* const LOAD_USAGE =
    "usage: tarkeep_relay_load [--host 127.0.0.1] [--port 26200] [--games 8] [--players 8] [--rate 10|max]\n"
    "                          [--seconds 20] [--commands 3] [--hash-every 5] [--per-address 8]\n"
    "Connects games x players bot clients to a relay server, plays lockstep turns for the given\n"
    "seconds and reports the bundles relayed per second and the relay latency.\n"
    "  --rate         turns per second per bot; max: as fast as the server's default frame limit\n"
    "                 (300 per second per client) allows\n"
    "  --per-address  bots per source address: on loopback they connect from 127.0.0.1,\n"
    "                 127.0.0.2, ... because a relay serves only 8 clients per address; 0 binds none\n"
    "A relay serves 64 clients in 16 games by default: for larger runs start it with\n"
    "--max-clients and --max-games to match (for example 256 bots: --max-clients 256 --max-games 32).\n"
    "Play lasts at most 3600 seconds; setting up the games at most 30.\n"
    "  --hostile n    after the normal round, play a second one beside n hostile connections\n"
    "                 (silent, slow, never-reading, garbage and oversized, from 127.100.x.y)\n"
    "                 and report the honest players' latency in both\n"
    "  --serve n      run the relay in this process (on 127.0.0.1, sized for the run) with a\n"
    "                 frame limit of n per second per client instead of 300; --rate max follows it\n";

namespace {

constexpr std::uint32_t MAX_SECONDS = 3600;

bool to_number(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= max;
}

double max_turn_rate(std::uint32_t hash_every, double frames_per_second) {
    // Leave 5% and one pong per second for the server's pings.
    const double frames_per_turn = 1.0 + (hash_every != 0 ? 1.0 / hash_every : 0.0);
    return (frames_per_second * 0.95 - 1) / frames_per_turn;
}

}  // namespace

ParsedLoadOptions parse_load_options(const std::vector<std::string>& arguments) {
    ParsedLoadOptions parsed;
    LoadOptions& o = parsed.options;
    bool rate_max = false;
    const auto fail = [&](std::string error) {
        parsed.status = OptionsStatus::usage;
        parsed.error = std::move(error);
        return parsed;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h") {
            parsed.status = OptionsStatus::help;
            return parsed;
        }
        if (i + 1 >= arguments.size())
            return fail(name.starts_with("--") ? "missing value for " + name : "unknown argument " + name);
        const std::string& value = arguments[++i];
        std::uint64_t number = 0;
        const auto numeric = [&](std::uint64_t min, std::uint64_t max) {
            return to_number(value, max, number) && number >= min;
        };
        if (name == "--host") {
            o.host = value;
        } else if (name == "--port" && numeric(1, 65535)) {
            o.port = static_cast<std::uint16_t>(number);
        } else if (name == "--games" && numeric(1, 1000)) {
            o.games = static_cast<std::uint32_t>(number);
        } else if (name == "--players" && numeric(1, 8)) {
            o.players = static_cast<std::uint32_t>(number);
        } else if (name == "--rate" && value == "max") {
            rate_max = true;
        } else if (name == "--rate" && numeric(1, 10000)) {
            o.turns_per_second = static_cast<double>(number);
        } else if (name == "--seconds" && numeric(1, MAX_SECONDS)) {
            o.seconds = static_cast<std::uint32_t>(number);
        } else if (name == "--commands" && numeric(0, 64)) {
            o.commands = static_cast<std::uint32_t>(number);
        } else if (name == "--hash-every" && numeric(0, 1000000)) {
            o.hash_every = static_cast<std::uint32_t>(number);
        } else if (name == "--per-address" && numeric(0, 1000000)) {
            o.per_address = static_cast<std::uint32_t>(number);
        } else if (name == "--hostile" && numeric(0, 2000)) {
            o.hostile = static_cast<std::uint32_t>(number);
        } else if (name == "--serve" && numeric(1, 10000000)) {
            o.serve_frame_limit = static_cast<std::uint32_t>(number);
        } else {
            return fail("bad value for " + name + ": " + value);
        }
    }
    if (rate_max)
        o.turns_per_second =
            max_turn_rate(o.hash_every, o.serve_frame_limit != 0 ? o.serve_frame_limit : SERVER_FRAMES_PER_SECOND);
    return parsed;
}

}  // namespace tarkeep::relay_load
