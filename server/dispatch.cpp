#include "server/dispatch.h"

#include <algorithm>

#include "server/relay_server.h"

namespace tarkeep::server {
namespace {

constexpr std::uint64_t MAX_ROUND_TRIP_MS = 60000;

}  // namespace

void record_round_trip(ClientSession& client, const net::Pong& pong, std::uint64_t now_us) {
    if (pong.sequence != client.ping_sequence || client.ping_sent_us == 0) return;
    const std::uint64_t elapsed = now_us > client.ping_sent_us ? now_us - client.ping_sent_us : 0;
    client.round_trip_ms = static_cast<std::uint16_t>(std::min(elapsed / 1000, MAX_ROUND_TRIP_MS));
}

void dispatch_message(RelayServer& server, ClientSession& client, net::Message&& message, std::uint64_t now_us) {
    if (!client.handshake_done) {
        handle_handshake(server, client, message);
        return;
    }
    if (const auto* ping = std::get_if<net::Ping>(&message)) {
        server.send_to(client, net::Pong{ping->sequence, ping->time});
    } else if (const auto* pong = std::get_if<net::Pong>(&message)) {
        record_round_trip(client, *pong, now_us);
    } else if (std::holds_alternative<net::Goodbye>(message)) {
        server.close_client(client, "goodbye", false);
    } else {
        apply_lobby_and_game_rules(server, client, std::move(message), now_us);
    }
}

}  // namespace tarkeep::server
