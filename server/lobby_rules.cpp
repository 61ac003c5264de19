#include <variant>

#include "server/dispatch.h"
#include "server/relay_server.h"

// Lobby and game rules after the handshake. For now this only enforces which messages a
// client may send at all; games are created and run by the lobby rules built on this.

namespace tarkeep::server {
namespace {

bool is_game_message(const net::Message& message) {
    return std::holds_alternative<net::TurnBundle>(message) || std::holds_alternative<net::HashReport>(message) ||
           std::holds_alternative<net::GameSignal>(message);
}

// A second Hello, or anything only the server sends.
bool is_unexpected(const net::Message& message) {
    return std::holds_alternative<net::Hello>(message) || net::message_type(message) >= 64;
}

}  // namespace

void apply_lobby_and_game_rules(RelayServer& server, ClientSession& client, net::Message&& message,
                                std::uint64_t /*now_us*/) {
    const Game* game = client.game_id != 0 ? server.find_game(client.game_id) : nullptr;
    const bool in_running_game = game && game->running;
    if (!in_running_game && is_game_message(message)) {
        ++server.stats().protocol_kicks;
        server.close_client(client, "game message outside a running game", true);
    } else if (!in_running_game && is_unexpected(message)) {
        ++server.stats().protocol_kicks;
        server.close_client(client, "unexpected message", true);
    }
}

void remove_from_game(RelayServer& server, ClientSession& client, const std::string& /*reason*/) {
    const std::uint32_t game_id = client.game_id;
    client.game_id = 0;
    client.ready = false;
    Game* game = server.find_game(game_id);
    // Players of a running game keep their place in the member list.
    if (!game || game->running) return;
    std::erase(game->members, client.id);
}

}  // namespace tarkeep::server
