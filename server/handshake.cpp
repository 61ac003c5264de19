// The handshake: a valid Hello of the current protocol with a usable name.
#include <cinttypes>
#include <cstdio>

#include "server/handshake.h"
#include "server/relay_server.h"
#include "server/text_clean.h"

namespace tarkeep::server {
namespace {

// First 8 of the 16 zero-padded hexadecimal digits: enough to tell builds apart in a log.
std::string short_build_hash(std::uint64_t hash) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016" PRIx64, hash);
    return std::string(digits, 8);
}

}  // namespace

void handle_handshake(RelayServer& server, ClientSession& client, const net::Message& message) {
    const auto* hello = std::get_if<net::Hello>(&message);
    if (!hello || hello->magic != net::kHelloMagic) {
        ++server.stats().protocol_kicks;
        server.close_client(client, "expected hello", true);
        return;
    }
    if (hello->protocol_version != net::kProtocolVersion) {
        // A Refused is the last thing the client hears: it goes out before the close, never
        // into a delay queue that the close would discard.
        server.send_immediately(client,
                                net::Refused{"protocol version " + std::to_string(hello->protocol_version) +
                                             " not supported (server: " + std::to_string(net::kProtocolVersion) + ")"});
        server.close_client(client, "protocol version", false);
        return;
    }
    client.name = clean_text(hello->name, net::kMaxPlayerName);
    if (client.name.empty()) {
        server.send_immediately(client, net::Refused{"empty player name"});
        server.close_client(client, "empty name", false);
        return;
    }
    client.build_hash = hello->build_hash;
    client.data_hash = hello->data_hash;
    client.handshake_done = true;
    ++server.stats().handshakes;
    server.send_to(client, net::Welcome{client.id, net::kProtocolVersion, server.config().motd});
    server.log_line("client " + std::to_string(client.id) + " is '" + client.name + "' (build " +
                    short_build_hash(client.build_hash) + ")");
}

}  // namespace tarkeep::server
