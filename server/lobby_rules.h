// Requests of a client in no game or in a lobby: list, create, join, leave, ready, start.
#pragma once
#include "net/messages.h"
#include "server/client_session.h"

namespace tarkeep::server {

class RelayServer;

void apply_lobby_rules(RelayServer& server, ClientSession& client, net::Message&& message);

}  // namespace tarkeep::server
