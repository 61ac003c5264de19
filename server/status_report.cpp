// Building the status block from the server's clients, games and counters.
#include "server/microseconds.h"
#include "server/status_report.h"

#include <algorithm>
#include <cstdio>

namespace tarkeep::server {
namespace {

std::string game_line(const Game& game) {
    std::string turn = "no turn yet";
    if (!game.last_turn_by_player.empty()) {
        const auto latest = std::max_element(game.last_turn_by_player.begin(), game.last_turn_by_player.end(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
        turn = "turn " + std::to_string(latest->second);
    }
    return "status: game " + std::to_string(game.id) + " '" + game.name + "' on " + game.map + ": " +
           std::to_string(game.members.size()) + " of " + std::to_string(game.max_players) + " players, " +
           (game.running ? "running" : "in the lobby") + ", " + turn + ", " + std::to_string(game.bytes_relayed) +
           " bytes relayed";
}

}  // namespace

std::string uptime_text(std::uint64_t uptime_us) {
    const std::uint64_t seconds = uptime_us / kMicrosecondsPerSecond;
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600 % 24),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    const std::uint64_t days = seconds / 86400;
    return days == 0 ? std::string(clock) : std::to_string(days) + "d " + clock;
}

std::vector<std::string> status_lines(std::uint64_t uptime_us,
                                      const std::map<std::uint32_t, std::unique_ptr<ClientSession>>& clients,
                                      const std::map<std::uint32_t, Game>& games, const ServerStats& stats) {
    std::uint64_t greeting = 0, in_lobby = 0, in_games = 0;
    for (const auto& [id, client] : clients) {
        if (!client->handshake_done)
            ++greeting;
        else if (client->game_id == 0)
            ++in_lobby;
        else
            ++in_games;
    }
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    std::vector<std::string> lines;
    lines.push_back("status: up " + uptime_text(uptime_us) + ", " + n(clients.size()) + " clients (" + n(greeting) +
                    " greeting, " + n(in_lobby) + " in the lobby, " + n(in_games) + " in games), " + n(games.size()) +
                    " games");
    for (const auto& [id, game] : games) lines.push_back(game_line(game));
    lines.push_back("status: turned away since the start: " + n(stats.refused) + " server full, " + n(stats.denied) +
                    " denied, " + n(stats.rate_limit_kicks) + " rate limit, " + n(stats.protocol_kicks) +
                    " protocol, " + n(stats.timeouts) + " timed out, " + n(stats.too_slow) + " too slow");
    return lines;
}

}  // namespace tarkeep::server
