#pragma once
#include <cstdint>
#include <string>

#include "net/messages.h"
#include "server/client_session.h"

namespace tarkeep::server {

class RelayServer;

// What one decoded message of a client that is not closing does: the handshake first,
// then keep-alive and goodbye, then the lobby and game rules.
void dispatch_message(RelayServer& server, ClientSession& client, net::Message&& message, std::uint64_t now_us);

// Handshake: the first message must be a valid Hello.
void handle_handshake(RelayServer& server, ClientSession& client, const net::Message& message);

// Lobby and running-game rules for a client whose handshake is done.
void apply_lobby_and_game_rules(RelayServer& server, ClientSession& client, net::Message&& message,
                                std::uint64_t now_us);

// Takes the client out of its game when it leaves or disconnects.
void remove_from_game(RelayServer& server, ClientSession& client, const std::string& reason);

// A Pong answering the client's latest Ping sets its round trip (capped at 60 s).
void record_round_trip(ClientSession& client, const net::Pong& pong, std::uint64_t now_us);

}  // namespace tarkeep::server
