// Requests of a client in a running game: turn bundles, hash reports, signals.
#pragma once
#include "net/messages.h"
#include "server/client_session.h"
#include "server/game.h"

namespace tarkeep::server {

class RelayServer;

void apply_game_rules(RelayServer& server, ClientSession& client, Game& game, net::Message&& message);

}  // namespace tarkeep::server
