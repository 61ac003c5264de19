// Relaying one player's message to the other members of its game.
#include "server/game_relay.h"

#include "net/message_codec.h"
#include "server/relay_server.h"

namespace tarkeep::server {

void relay(RelayServer& server, Game& game, const ClientSession& sender, const net::Message& message) {
    SharedFrame frame;
    try {
        frame = make_frame(net::encode_message(message));
    } catch (const net::ProtocolError& error) {
        server.log_line("game " + std::to_string(game.id) + ": message not relayed: " + error.what());
        return;
    }
    for (std::uint32_t member : game.members) {
        ClientSession* client = server.find_client(member);
        if (member != sender.id && is_present(client)) {
            server.send_frame(*client, frame);
            game.bytes_relayed += frame->size();
        }
    }
}

}  // namespace tarkeep::server
