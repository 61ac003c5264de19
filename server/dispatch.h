// Where each decoded message of a client goes.
#pragma once
#include <cstdint>

#include "net/messages.h"
#include "server/client_session.h"

namespace tarkeep::server {

class RelayServer;

// What one decoded message of a client that is not closing does: the handshake first,
// then keep-alive and goodbye, chat and blobs, then the lobby or the game rules.
void dispatch_message(RelayServer& server, ClientSession& client, net::Message&& message, std::uint64_t now_us);

// A Pong answering the client's latest Ping sets its round trip (capped at 60 s).
void record_round_trip(ClientSession& client, const net::Pong& pong, std::uint64_t now_us);

}  // namespace tarkeep::server
