// Passing one player's message on to the other members of its game.
#pragma once
#include "net/messages.h"
#include "server/client_session.h"
#include "server/game.h"

namespace tarkeep::server {

class RelayServer;

// Sends the message to every existing member of the game except the sender (encoded
// once, whatever the number of members).
void relay(RelayServer& server, Game& game, const ClientSession& sender, const net::Message& message);

}  // namespace tarkeep::server
