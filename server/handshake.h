// The first message of a client: a valid Hello, or a refusal.
#pragma once
#include "net/messages.h"
#include "server/client_session.h"

namespace tarkeep::server {

class RelayServer;

void handle_handshake(RelayServer& server, ClientSession& client, const net::Message& message);

}  // namespace tarkeep::server
