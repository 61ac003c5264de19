// Lobby broadcasts, leaving a lobby, and dropping out of a running game.
#include "server/game_membership.h"

#include <algorithm>

#include "server/relay_server.h"
#include "server/text_clean.h"

namespace tarkeep::server {
namespace {

void announce_drop(RelayServer& server, ClientSession& client, Game& game, const std::string& reason) {
    const std::uint8_t player = client.player_id;
    game.dropped_players[player] = true;
    const auto last = game.last_turn_by_player.find(player);
    const std::uint32_t last_turn =
        last != game.last_turn_by_player.end() ? last->second : std::uint32_t{game.params.first_turn} - 1;
    ++server.stats().drops;
    server.log_line("game " + std::to_string(game.id) + ": player " + std::to_string(player) + " (" + client.name +
                    ") dropped after turn " + std::to_string(last_turn) + ": " + reason);
    const net::Message dropped = net::PlayerDropped{player, last_turn, clean_text(reason, net::kMaxText)};
    for (std::uint32_t member : game.members) {
        ClientSession* other = server.find_client(member);
        if (member != client.id && is_present(other)) server.send_to(*other, dropped);
    }
}

void remove_lobby_member(RelayServer& server, ClientSession& client, Game& game) {
    std::erase(game.members, client.id);
    if (game.host == client.id && !game.members.empty()) game.host = game.members.front();
    broadcast_lobby(server, game);
}

}  // namespace

void broadcast_lobby(RelayServer& server, const Game& game) {
    net::LobbyState state{game.id, game.name, game.map, game.host_tag, game.settings, game.host, game.max_players, {}};
    std::vector<ClientSession*> members;
    for (std::uint32_t member : game.members) {
        if (ClientSession* client = server.find_client(member)) {
            members.push_back(client);
            state.slots.push_back({client->id, client->name, client->ready, client->round_trip_ms});
        }
    }
    const net::Message message = std::move(state);
    for (ClientSession* client : members) server.send_to(*client, message);
}

void remove_from_game(RelayServer& server, ClientSession& client, const std::string& reason) {
    const std::uint32_t game_id = client.game_id;
    client.game_id = 0;
    client.ready = false;
    Game* game = server.find_game(game_id);
    if (!game) return;
    if (!game->running) {
        remove_lobby_member(server, client, *game);
    } else if (client.player_id != 0 && !game->dropped_players[client.player_id]) {
        // Running games keep their member list: player ids stay fixed.
        announce_drop(server, client, *game, reason);
    }
    const bool someone_left = std::any_of(game->members.begin(), game->members.end(), [&](std::uint32_t member) {
        const ClientSession* other = server.find_client(member);
        // Members closing in this same step still count: each is removed (and its drop
        // announced and counted) when its own turn to disconnect comes.
        return member != client.id && other && other->game_id == game_id;
    });
    if (someone_left) return;
    server.log_line("game " + std::to_string(game_id) + " closed");
    for (std::uint32_t member : game->members)
        if (ClientSession* other = server.find_client(member); other && other->game_id == game_id) other->game_id = 0;
    server.games().erase(game_id);
}

}  // namespace tarkeep::server
