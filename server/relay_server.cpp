#include "server/relay_server.h"

#include <cstdio>

#include "net/message_codec.h"
#include "platform/clock.h"
#include "server/dispatch.h"
#include "server/text_clean.h"

namespace tarkeep::server {

RelayServer::RelayServer(ServerConfig config, Clock clock)
    : config_(std::move(config)),
      clock_(clock ? std::move(clock) : Clock(platform::monotonic_microseconds)),
      line_sim_(config_.line_sim) {}

RelayServer::~RelayServer() {
    shutdown();
    if (network_started_) platform::network_stop();
}

bool RelayServer::start(std::string& error) {
    if (listening_) {
        error = "already listening";
        return false;
    }
    // Every handshake would fail to encode its Welcome otherwise.
    if (config_.motd.size() > net::MAX_TEXT) {
        error = "message of the day longer than " + std::to_string(net::MAX_TEXT) + " bytes";
        return false;
    }
    if (!platform::network_start(error)) return false;
    if (!platform::listen_tcp(config_.host, config_.port, listener_, bound_port_, error)) {
        platform::network_stop();
        return false;
    }
    network_started_ = true;
    listening_ = true;
    log_line("listening on " + config_.host + ":" + std::to_string(bound_port_) + " (protocol " +
             std::to_string(net::PROTOCOL_VERSION) + ")");
    const LineSimConfig& sim = config_.line_sim;
    if (sim.active()) {
        line_sim_.seed();
        log_line("TEST MODE line simulation: latency " + std::to_string(sim.latency_ms) + " ms + jitter 0.." +
                 std::to_string(sim.jitter_ms) + " ms per direction, stall " + std::to_string(sim.hold_ms) +
                 " ms every ~" + std::to_string(sim.hold_every_ms) + " ms");
    }
    return true;
}

void RelayServer::run_until(const std::atomic<bool>& stop, int timeout_ms) {
    const int step = config_.line_sim.active() && timeout_ms >= 2 ? 1 : timeout_ms;
    while (!stop.load()) poll_once(step);
}

void RelayServer::shutdown() {
    if (!listening_) return;
    for (auto& [id, client] : clients_) {
        try {
            client->connection.queue_frame(net::encode_message(net::Notice{"server shutting down"}));
        } catch (const net::ProtocolError&) {
        }
        client->connection.send_pending();
        client->connection.close();
    }
    clients_.clear();
    games_.clear();
    listener_.close();
    listening_ = false;
    if (network_started_) {
        platform::network_stop();
        network_started_ = false;
    }
}

void RelayServer::log_line(const std::string& text) const {
    if (config_.quiet) return;
    if (config_.log_sink) {
        config_.log_sink(text);
        return;
    }
    const std::string line = platform::local_time_text("%H:%M:%S") + " " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

ClientSession* RelayServer::find_client(std::uint32_t id) {
    const auto found = clients_.find(id);
    return found == clients_.end() ? nullptr : found->second.get();
}

Game* RelayServer::find_game(std::uint32_t id) {
    const auto found = games_.find(id);
    return found == games_.end() ? nullptr : &found->second;
}

bool RelayServer::queue_outbound(ClientSession& client, const net::Bytes& payload) {
    if (line_sim_.active()) {
        // Delayed output counts against the same limit as unsent output: a client that
        // cannot take it all would be dropped when it comes due anyway.
        const std::uint64_t frame_bytes = payload.size() + 4;
        if (client.line.outbound_bytes + frame_bytes > client.connection.buffer_limit()) {
            close_client(client, "too slow (output buffer full)", false);
            return false;
        }
        const std::uint64_t due = line_sim_.due_time(client.line.last_outbound_due_us, now_us_);
        client.line.outbound_bytes += frame_bytes;
        client.line.outbound.push_back({due, payload});
        ++stats_.sim_delayed;
        return true;
    }
    if (client.connection.queue_frame(payload)) return true;
    close_client(client, "too slow (output buffer full)", false);
    return false;
}

void RelayServer::send_to(ClientSession& client, const net::Message& message) {
    if (client.closing) return;
    net::Bytes payload;
    try {
        payload = net::encode_message(message);
    } catch (const net::ProtocolError& error) {
        // A record the server built itself broke a wire limit: drop that message
        // instead of letting the error stop the whole server.
        log_line("client " + std::to_string(client.id) + ": message type " +
                 std::to_string(net::message_type(message)) + " not sent: " + error.what());
        return;
    }
    queue_outbound(client, payload);
}

void RelayServer::send_payload(ClientSession& client, const net::Bytes& payload) {
    if (!client.closing) queue_outbound(client, payload);
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
        client.connection.queue_frame(net::encode_message(net::Notice{cut_utf8(reason, net::MAX_TEXT)}));
        client.connection.send_pending();
    }
    client.closing = true;
    client.close_reason = reason;
}

void RelayServer::handle_frame(ClientSession& client, const net::Bytes& payload, std::uint64_t now_us) {
    if (client.closing) return;
    const double cost = static_cast<double>(payload.size()) + 4;
    if (!client.message_bucket.take(1, now_us) || !client.byte_bucket.take(cost, now_us)) {
        ++stats_.rate_limit_kicks;
        close_client(client, "rate limit exceeded", true);
        return;
    }
    net::Message message;
    try {
        message = net::decode_message(payload);
    } catch (const net::ProtocolError& error) {
        ++stats_.protocol_kicks;
        close_client(client, std::string("protocol error: ") + error.what(), true);
        return;
    }
    dispatch_message(*this, client, std::move(message), now_us);
}

}  // namespace tarkeep::server
