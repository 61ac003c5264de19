// Queuing messages for clients and closing clients, with the test-mode delay in between.
#include "net/message_codec.h"
#include "server/relay_server.h"
#include "server/text_clean.h"

namespace tarkeep::server {

bool RelayServer::queue_outbound(ClientSession& client, const SharedFrame& frame) {
    if (line_sim_.active()) {
        // Delayed output counts against the same limit as unsent output: a client that
        // cannot take it all would be dropped when it comes due anyway.
        if (client.line.outbound_bytes + frame->size() > client.connection.buffer_limit()) {
            close_too_slow(client);
            return false;
        }
        const std::uint64_t due = line_sim_.due_time(client.line.last_outbound_due_us, now_us_);
        client.line.outbound_bytes += frame->size();
        client.line.outbound.push_back({due, frame});
        ++stats_.sim_delayed;
        return true;
    }
    if (client.connection.queue_shared(frame)) return true;
    close_too_slow(client);
    return false;
}

void RelayServer::close_too_slow(ClientSession& client) {
    ++stats_.too_slow;
    close_client(client, "too slow (output buffer full)", false);
}

void RelayServer::send_to(ClientSession& client, const net::Message& message) {
    if (client.closing) return;
    SharedFrame frame;
    try {
        frame = make_frame(net::encode_message(message));
    } catch (const net::ProtocolError& error) {
        // A record the server built itself broke a wire limit: drop that message
        // instead of letting the error stop the whole server.
        log_line("client " + std::to_string(client.id) + ": message type " +
                 std::to_string(net::message_type(message)) + " not sent: " + error.what());
        return;
    }
    queue_outbound(client, frame);
}

void RelayServer::send_frame(ClientSession& client, const SharedFrame& frame) {
    if (!client.closing) queue_outbound(client, frame);
}

void RelayServer::send_immediately(ClientSession& client, const net::Message& message) {
    if (client.closing) return;
    client.connection.queue_frame(net::encode_message(message));
    client.connection.send_pending();
}

void RelayServer::close_client(ClientSession& client, const std::string& reason, bool with_notice) {
    if (client.closing) return;
    if (with_notice) {
        // Notices bypass any delay queue and are sent at once. Reasons are ours, but the
        // notice text is still kept within the wire limit.
        client.connection.queue_frame(net::encode_message(net::Notice{cut_utf8(reason, net::kMaxText)}));
        client.connection.send_pending();
    }
    client.closing = true;
    client.close_reason = reason;
}

}  // namespace tarkeep::server
