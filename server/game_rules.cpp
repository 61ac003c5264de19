// Running-game rules: turn order of bundles, the hash cross-check, signals.
#include "server/game_rules.h"

#include <algorithm>
#include <variant>

#include "server/game_relay.h"
#include "server/relay_server.h"

namespace tarkeep::server {
namespace {

// Enough ticks for any client to report late without the store growing with the game.
constexpr std::size_t kMaxStoredTicks = 64;

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

void relay_hash_report(RelayServer& server, ClientSession& client, Game& game, net::HashReport& report) {
    report.player_id = client.player_id;
    auto& reports = game.hashes_by_tick[report.tick];
    reports[client.player_id] = report.hash;
    const bool differs =
        std::any_of(reports.begin(), reports.end(), [&](const auto& stored) { return stored.second != report.hash; });
    if (differs) {
        ++server.stats().hash_mismatches;
        server.log_line("game " + std::to_string(game.id) + ": hashes differ at tick " + std::to_string(report.tick));
    }
    while (game.hashes_by_tick.size() > kMaxStoredTicks) game.hashes_by_tick.erase(game.hashes_by_tick.begin());
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
