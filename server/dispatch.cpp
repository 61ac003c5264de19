// Routing each decoded message: handshake, keep-alive, chat and blobs, lobby or game.
#include "server/dispatch.h"

#include <algorithm>

#include "server/game_relay.h"
#include "server/game_rules.h"
#include "server/handshake.h"
#include "server/lobby_rules.h"
#include "server/relay_server.h"
#include "server/text_clean.h"

namespace tarkeep::server {
namespace {

constexpr std::uint64_t kMaxRoundTripMs = 60000;

void notice(RelayServer& server, ClientSession& client, std::string text) {
    server.send_to(client, net::Notice{std::move(text)});
}

void handle_chat(RelayServer& server, ClientSession& client, const net::Chat& chat, std::uint64_t now_us) {
    const Game* game = client.game_id != 0 ? server.find_game(client.game_id) : nullptr;
    const std::string text = clean_text(chat.text, net::kMaxText);
    if (!game || text.empty()) return;
    if (!client.chat_bucket.take(1, now_us)) {
        notice(server, client, "chat: slow down");
        return;
    }
    ++server.stats().chats;
    const net::Message relayed = net::ChatRelay{client.id, client.name, text};
    for (std::uint32_t member : game->members)
        if (ClientSession* to = server.find_client(member)) server.send_to(*to, relayed);
}

void handle_blob(RelayServer& server, ClientSession& client, net::BlobChunk&& chunk) {
    Game* game = client.game_id != 0 ? server.find_game(client.game_id) : nullptr;
    if (!game) {
        notice(server, client, "blob outside a game");
        return;
    }
    chunk.sender_client_id = client.id;
    ++server.stats().blob_chunks;
    relay(server, *game, client, std::move(chunk));
}

// Chat and blobs work in a lobby and in a running game alike; the rest depends on which.
void apply_lobby_and_game_rules(RelayServer& server, ClientSession& client, net::Message&& message,
                                std::uint64_t now_us) {
    if (const auto* chat = std::get_if<net::Chat>(&message)) return handle_chat(server, client, *chat, now_us);
    if (auto* chunk = std::get_if<net::BlobChunk>(&message)) return handle_blob(server, client, std::move(*chunk));
    Game* game = client.game_id != 0 ? server.find_game(client.game_id) : nullptr;
    if (game && game->running) return apply_game_rules(server, client, *game, std::move(message));
    apply_lobby_rules(server, client, std::move(message));
}

}  // namespace

void record_round_trip(ClientSession& client, const net::Pong& pong, std::uint64_t now_us) {
    if (pong.sequence != client.ping_sequence || client.ping_sent_us == 0) return;
    const std::uint64_t elapsed = now_us > client.ping_sent_us ? now_us - client.ping_sent_us : 0;
    client.round_trip_ms = static_cast<std::uint16_t>(std::min(elapsed / 1000, kMaxRoundTripMs));
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
