// Who is in a game: lobby broadcasts and leaving (or dropping out of) a game.
#pragma once
#include <string>

#include "server/client_session.h"
#include "server/game.h"

namespace tarkeep::server {

class RelayServer;

// Sends a fresh LobbyState of the game to every member that still exists.
void broadcast_lobby(RelayServer& server, const Game& game);

// Takes the client out of its game when it leaves or disconnects.
void remove_from_game(RelayServer& server, ClientSession& client, const std::string& reason);

}  // namespace tarkeep::server
