// Lobby requests: list, create, join, leave, ready and start.
#include "server/lobby_rules.h"

#include <algorithm>
#include <variant>

#include "server/game_membership.h"
#include "server/relay_server.h"
#include "server/text_clean.h"

namespace tarkeep::server {
namespace {

constexpr std::uint8_t kMaxGamePlayers = 8;

bool is_game_message(const net::Message& message) {
    return std::holds_alternative<net::TurnBundle>(message) || std::holds_alternative<net::HashReport>(message) ||
           std::holds_alternative<net::GameSignal>(message);
}

void kick(RelayServer& server, ClientSession& client, const std::string& reason) {
    ++server.stats().protocol_kicks;
    server.close_client(client, reason, true);
}

void notice(RelayServer& server, ClientSession& client, std::string text) {
    server.send_to(client, net::Notice{std::move(text)});
}

void list_games(RelayServer& server, ClientSession& client) {
    net::GameList list;
    for (const auto& [id, game] : server.games()) {
        if (list.games.size() == net::kMaxListedGames) break;
        list.games.push_back({id, game.name, game.map, static_cast<std::uint8_t>(game.members.size()), game.max_players,
                              game.running, game.host});
    }
    server.send_to(client, list);
}

void create_game(RelayServer& server, ClientSession& client, net::CreateGame&& request) {
    if (client.game_id != 0) return notice(server, client, "leave your game first");
    if (server.games().size() >= server.config().max_games)
        return notice(server, client, "too many games on this server");
    const std::uint32_t id = server.take_game_id();
    std::string name = clean_text(request.name, net::kMaxGameName);
    std::string map = clean_text(request.map, net::kMaxMapName);
    if (name.empty() || map.empty()) return notice(server, client, "game name and map required");

    Game game;
    game.id = id;
    game.name = std::move(name);
    game.map = std::move(map);
    game.settings = std::move(request.settings);
    game.host_tag = request.host_tag;
    game.build_hash = client.build_hash;
    game.data_hash = client.data_hash;
    game.max_players = std::clamp<std::uint8_t>(request.max_players, 1, kMaxGamePlayers);
    game.host = client.id;
    game.members.push_back(client.id);
    client.game_id = id;
    client.ready = false;
    ++server.stats().games_created;
    server.log_line("game " + std::to_string(id) + " '" + game.name + "' on " + game.map + " created by " +
                    client.name);
    broadcast_lobby(server, server.games().emplace(id, std::move(game)).first->second);
}

void join_game(RelayServer& server, ClientSession& client, const net::JoinGame& request) {
    if (client.game_id != 0) return notice(server, client, "leave your game first");
    Game* game = server.find_game(request.game_id);
    if (!game || game->running) return notice(server, client, "game not found or already running");
    if (game->members.size() >= game->max_players) return notice(server, client, "game is full");
    if (game->build_hash != client.build_hash || game->data_hash != client.data_hash)
        return notice(server, client, "join refused: your game build or data differs from the host's");
    game->members.push_back(client.id);
    client.game_id = game->id;
    client.ready = false;
    server.log_line(client.name + " joined game " + std::to_string(game->id));
    broadcast_lobby(server, *game);
}

void set_ready(RelayServer& server, ClientSession& client, const net::SetReady& request) {
    Game* game = client.game_id != 0 ? server.find_game(client.game_id) : nullptr;
    if (!game) return;
    client.ready = request.ready;
    broadcast_lobby(server, *game);
}

// Numbers the members 1..n in member order and sends each its GameStart.
void start_game(RelayServer& server, Game& game, const net::LockstepParams& params) {
    game.running = true;
    game.params = params;
    net::GameStart start{game.id, game.map, game.host_tag, game.settings, params, {}, 0};
    std::vector<ClientSession*> members;
    for (std::size_t i = 0; i < game.members.size(); ++i) {
        ClientSession* client = server.find_client(game.members[i]);
        client->player_id = static_cast<std::uint8_t>(i + 1);
        client->next_turn = params.first_turn;
        members.push_back(client);
        start.players.push_back({client->id, client->player_id, client->name});
    }
    for (ClientSession* client : members) {
        start.your_player_id = client->player_id;
        server.send_to(*client, start);
    }
    ++server.stats().games;
    server.log_line("game " + std::to_string(game.id) + " started with " + std::to_string(game.members.size()) +
                    " players");
}

void request_start(RelayServer& server, ClientSession& client, const net::StartGame& request) {
    Game* game = client.game_id != 0 ? server.find_game(client.game_id) : nullptr;
    if (!game || game->host != client.id) return notice(server, client, "only the host can start the game");
    const bool all_ready = std::all_of(game->members.begin(), game->members.end(), [&](std::uint32_t member) {
        const ClientSession* session = server.find_client(member);
        return session && session->ready;
    });
    if (!all_ready) return notice(server, client, "not everybody is ready");
    start_game(server, *game, request.params);
}

}  // namespace

void apply_lobby_rules(RelayServer& server, ClientSession& client, net::Message&& message) {
    if (std::holds_alternative<net::ListGames>(message)) {
        list_games(server, client);
    } else if (auto* create = std::get_if<net::CreateGame>(&message)) {
        create_game(server, client, std::move(*create));
    } else if (const auto* join = std::get_if<net::JoinGame>(&message)) {
        join_game(server, client, *join);
    } else if (std::holds_alternative<net::LeaveGame>(message)) {
        remove_from_game(server, client, "left");
    } else if (const auto* ready = std::get_if<net::SetReady>(&message)) {
        set_ready(server, client, *ready);
    } else if (const auto* start = std::get_if<net::StartGame>(&message)) {
        request_start(server, client, *start);
    } else if (is_game_message(message)) {
        kick(server, client, "game message outside a running game");
    } else {
        // A second Hello, or anything only the server sends.
        kick(server, client, "unexpected message");
    }
}

}  // namespace tarkeep::server
