#pragma once
#include <cstdint>

#include "net/messages.h"
#include "server/client_session.h"
#include "server/game.h"

namespace tarkeep::server {

class RelayServer;

// Sends a fresh LobbyState of the game to every member that still exists.
void broadcast_lobby(RelayServer& server, const Game& game);

// Sends the message to every existing member of the game except the sender (encoded
// once, whatever the number of members).
void relay(RelayServer& server, const Game& game, const ClientSession& sender, const net::Message& message);

// Numbers the members 1..n in member order and sends each its GameStart.
void start_game(RelayServer& server, Game& game, const net::LockstepParams& params);

// Requests of a client in no game or in a lobby.
void apply_lobby_rules(RelayServer& server, ClientSession& client, net::Message&& message);

// Requests of a client in a running game.
void apply_game_rules(RelayServer& server, ClientSession& client, Game& game, net::Message&& message);

}  // namespace tarkeep::server
