// Running-game rules: turn order of bundles, the hash cross-check, signals.
#include "server/game_rules.h"

#include <algorithm>
#include <variant>
#include <vector>

#include "server/game_relay.h"
#include "server/relay_server.h"

namespace tarkeep::server {
namespace {

// Enough ticks for any client to report late without the store growing with the game.
constexpr std::size_t kMaxStoredTicks = 64;
// How far a reported tick may lie from the players' consensus and still be checked: far
// more than honest players drift apart (hash reports come every few ticks and players run
// at most a few seconds apart), far less than the counter's range.
constexpr std::uint32_t kMaxTickDistance = 65536;

void relay_bundle(RelayServer& server, ClientSession& client, Game& game, net::TurnBundle& bundle) {
    if (bundle.turn != client.next_turn) {
        ++server.stats().protocol_kicks;
        server.close_client(
            client, "bundle for turn " + std::to_string(bundle.turn) + ", expected " + std::to_string(client.next_turn),
            true);
        return;
    }
    bundle.player_id = client.player_id;
    game.last_turn_by_player[client.player_id] = bundle.turn;
    ++client.next_turn;
    ++server.stats().bundles_relayed;
    relay(server, game, client, bundle);
}

// The tick the players agree on: the lower median of each player's latest reported tick.
// One player alone cannot move it while two others report honestly.
std::uint32_t consensus_tick(const Game& game) {
    std::vector<std::uint32_t> ticks;
    for (const auto& [player, tick] : game.latest_tick_by_player) ticks.push_back(tick);
    std::sort(ticks.begin(), ticks.end());
    return ticks[(ticks.size() - 1) / 2];
}

std::uint32_t distance(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; }

// Keeps the cross-check to kMaxStoredTicks ticks, dropping the one farthest from the
// consensus first: in honest play that is the oldest tick, and a flood of made-up
// ticks goes before any real one.
void trim_stored_ticks(Game& game, std::uint32_t consensus) {
    while (game.hashes_by_tick.size() > kMaxStoredTicks) {
        auto farthest = game.hashes_by_tick.begin();
        for (auto it = game.hashes_by_tick.begin(); it != game.hashes_by_tick.end(); ++it)
            if (distance(it->first, consensus) > distance(farthest->first, consensus)) farthest = it;
        game.hashes_by_tick.erase(farthest);
    }
}

void relay_hash_report(RelayServer& server, ClientSession& client, Game& game, net::HashReport& report) {
    report.player_id = client.player_id;
    game.latest_tick_by_player[client.player_id] = report.tick;
    const std::uint32_t consensus = consensus_tick(game);
    // A tick far from what the players agree on is relayed (the server judges no game
    // content) but kept out of the cross-check, where it could only evict real ticks.
    if (distance(report.tick, consensus) <= kMaxTickDistance) {
        auto& reports = game.hashes_by_tick[report.tick];
        reports[client.player_id] = report.hash;
        const bool differs = std::any_of(reports.begin(), reports.end(),
                                         [&](const auto& stored) { return stored.second != report.hash; });
        if (differs) {
            ++server.stats().hash_mismatches;
            server.log_line("game " + std::to_string(game.id) + ": hashes differ at tick " +
                            std::to_string(report.tick));
        }
        trim_stored_ticks(game, consensus);
    }
    ++server.stats().hash_reports;
    relay(server, game, client, report);
}

}  // namespace

void apply_game_rules(RelayServer& server, ClientSession& client, Game& game, net::Message&& message) {
    if (auto* bundle = std::get_if<net::TurnBundle>(&message)) {
        relay_bundle(server, client, game, *bundle);
    } else if (auto* report = std::get_if<net::HashReport>(&message)) {
        relay_hash_report(server, client, game, *report);
    } else if (auto* signal = std::get_if<net::GameSignal>(&message)) {
        signal->player_id = client.player_id;
        relay(server, game, client, *signal);
    } else if (std::holds_alternative<net::LeaveGame>(message)) {
        server.close_client(client, "left the game", false);
    } else if (std::holds_alternative<net::ListGames>(message) || std::holds_alternative<net::SetReady>(message)) {
        // Nothing to list or change while the game runs.
    } else {
        server.send_to(client, net::Notice{"the game is running"});
    }
}

}  // namespace tarkeep::server
