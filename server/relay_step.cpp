// One step of the poll loop: accept, receive and handle, release delayed frames, timers, send, remove.
#include <algorithm>
#include <unordered_set>

#include "net/message_codec.h"
#include "platform/clock.h"
#include "server/dispatch.h"
#include "server/game_membership.h"
#include "server/microseconds.h"
#include "server/relay_server.h"

namespace tarkeep::server {
namespace {

constexpr int kMaxAcceptsPerStep = 16;
// How long accepting rests after a failure, so a listener that cannot be served does not spin.
constexpr std::uint64_t kAcceptPauseUs = 100'000;
// A connection this young may still be on its way to its Hello and is never evicted.
constexpr std::uint64_t kHandshakeGraceUs = kMicrosecondsPerSecond;
// The temporary connection that carries a refusal needs room for one small frame.
constexpr std::uint64_t kRefusalBufferLimit = 8388608;

std::uint64_t elapsed_us(std::uint64_t now, std::uint64_t since) { return now > since ? now - since : 0; }

std::string address_of(const std::string& peer) { return peer.substr(0, peer.find(':')); }

}  // namespace

void RelayServer::poll_once(int timeout_ms) {
    if (!listening_) return;
    const std::vector<std::uint32_t> quiet_ids = wait_for_sockets(timeout_ms);
    const std::unordered_set<std::uint32_t> quiet(quiet_ids.begin(), quiet_ids.end());

    now_us_ = clock_();
    // First, so that a changed deny list is in force for this step's connections.
    if (now_us_ / kMicrosecondsPerSecond != housekeeping_second_) run_housekeeping();
    if (now_us_ >= accept_paused_until_us_) accept_clients();
    for (auto& [id, client] : clients_)
        if (!client->closing && !quiet.contains(id)) receive_from(*client);
    if (line_sim_.active()) release_delayed();
    run_timers();
    for (std::uint32_t id : send_all_and_collect_closing()) disconnect(id);
    closing_.service(now_us_);
}

std::vector<std::uint32_t> RelayServer::wait_for_sockets(int timeout_ms) {
    std::vector<platform::PollItem> items;
    items.reserve(clients_.size() + closing_.size() + 1);
    // While accepting is paused the listener stays out of the set: it would report
    // readable at once and the wait would not wait.
    const bool with_listener = now_us_ >= accept_paused_until_us_;
    if (with_listener) items.push_back({listener_.handle(), true, false});
    const std::size_t first_client = items.size();
    for (const auto& [id, client] : clients_)
        items.push_back({client->connection.socket().handle(), true, client->connection.has_unsent()});
    closing_.add_poll_items(items);
    int error = 0;
    if (platform::poll_sockets(items, timeout_ms, &error) < 0) {
        if (!poll_failing_) log_line("poll failed (error " + std::to_string(error) + ")");
        poll_failing_ = true;
        // Nothing is known about the sockets: wait as the poll would have, then serve all.
        platform::sleep_milliseconds(static_cast<unsigned>(std::max(timeout_ms, 1)));
        return {};
    }
    poll_failing_ = false;
    // Poll is level-triggered, so a socket it did not report has nothing to read: skipping
    // it saves one failing receive per idle client per step. Clients accepted after the
    // wait were not polled and are read at once. Output is written for all.
    std::vector<std::uint32_t> quiet;
    std::size_t item = first_client;
    for (const auto& [id, client] : clients_)
        if (!items[item++].readable) quiet.push_back(id);
    return quiet;
}

void RelayServer::accept_clients() {
    for (int accepted = 0; accepted < kMaxAcceptsPerStep; ++accepted) {
        platform::Socket socket;
        std::string peer;
        int error = 0;
        const platform::AcceptStatus status = platform::accept_tcp(listener_, socket, peer, error);
        if (status == platform::AcceptStatus::failed) return note_accept_failure(error);
        accept_failing_ = false;
        if (status != platform::AcceptStatus::accepted) return;
        ++stats_.connections;
        if (deny(socket, peer)) continue;
        if (open_clients() >= config_.max_clients) evict_handshake_squatter();
        const bool full =
            open_clients() >= config_.max_clients || clients_from(address_of(peer)) >= config_.max_clients_per_address;
        if (full)
            refuse(std::move(socket), peer);
        else
            admit(std::move(socket), peer);
    }
}

bool RelayServer::deny(platform::Socket& socket, const std::string& peer) {
    if (deny_list_.empty() || !deny_list_.denies(address_of(peer))) return false;
    ++stats_.denied;
    log_line("denied " + peer);
    socket.close();
    return true;
}

void RelayServer::note_accept_failure(int error) {
    if (!accept_failing_) log_line("accept failed (error " + std::to_string(error) + ")");
    accept_failing_ = true;
    accept_paused_until_us_ = now_us_ + kAcceptPauseUs;
}

std::uint64_t RelayServer::open_clients() const {
    return static_cast<std::uint64_t>(
        std::count_if(clients_.begin(), clients_.end(), [](const auto& entry) { return !entry.second->closing; }));
}

void RelayServer::evict_handshake_squatter() {
    ClientSession* oldest = nullptr;
    for (auto& [id, client] : clients_) {
        const bool squatting = !client->handshake_done && !client->closing &&
                               elapsed_us(now_us_, client->connect_time_us) > kHandshakeGraceUs;
        if (squatting && (!oldest || client->connect_time_us < oldest->connect_time_us)) oldest = client.get();
    }
    if (!oldest) return;
    ++stats_.timeouts;
    close_client(*oldest, "handshake timeout", true);
}

std::uint64_t RelayServer::clients_from(const std::string& address) const {
    return static_cast<std::uint64_t>(std::count_if(
        clients_.begin(), clients_.end(), [&](const auto& entry) { return entry.second->peer_address == address; }));
}

void RelayServer::refuse(platform::Socket socket, const std::string& peer) {
    Connection connection(std::move(socket), kRefusalBufferLimit);
    connection.queue_frame(net::encode_message(net::Refused{"server full"}));
    closing_.add(std::move(connection), now_us_);
    ++stats_.refused;
    log_line("refused " + peer + " (full)");
}

void RelayServer::admit(platform::Socket socket, const std::string& peer) {
    const std::uint32_t id = next_client_id_++;
    auto client = std::make_unique<ClientSession>(id, Connection(std::move(socket), config_.connection_buffer_limit));
    client->peer = peer;
    client->peer_address = address_of(peer);
    client->connect_time_us = now_us_;
    client->last_activity_us = now_us_;
    client->message_bucket = RateBucket::full(config_.message_rate, now_us_);
    client->byte_bucket = RateBucket::full(config_.byte_rate, now_us_);
    client->chat_bucket = RateBucket::full(config_.chat_rate, now_us_);
    log_line("client " + std::to_string(id) + " connected from " + peer);
    clients_.emplace(id, std::move(client));
}

void RelayServer::receive_from(ClientSession& client) {
    Connection& connection = client.connection;
    connection.receive();
    connection.check_frame_length();
    take_frames(client);
}

void RelayServer::take_frames(ClientSession& client) {
    net::Bytes payload;
    while (!client.closing && !inbound_queue_full(client) && client.connection.next_frame(payload)) {
        ++stats_.frames_received;
        stats_.bytes_received += payload.size() + 4;
        client.last_activity_us = now_us_;
        deliver_inbound(client, std::move(payload));
        payload = net::Bytes();
    }
    // Frames are cut here both on receipt and, under line simulation, when delayed ones
    // make room: a failure found either way closes the client the same way.
    Connection& connection = client.connection;
    if (connection.failed() && !client.closing) {
        const std::string reason = connection.error().empty() ? "connection lost" : connection.error();
        if (connection.failure() == net::FrameFailure::invalid_length) ++stats_.protocol_kicks;
        close_client(client, reason, false);
    }
}

// Without this cap a client could send far faster than its delayed frames come due and
// grow the server's memory without end. Frames beyond it wait in the input buffer,
// whose own limit then pauses reading, exactly as when frames are handled at once.
bool RelayServer::inbound_queue_full(const ClientSession& client) const {
    return line_sim_.active() && client.line.inbound_bytes >= client.connection.buffer_limit();
}

void RelayServer::deliver_inbound(ClientSession& client, net::Bytes&& payload) {
    if (!line_sim_.active()) {
        handle_frame(client, payload, now_us_);
        return;
    }
    const std::uint64_t due = line_sim_.due_time(client.line.last_inbound_due_us, now_us_);
    client.line.inbound_bytes += payload.size() + 4;
    client.line.inbound.push_back({due, std::move(payload)});
}

void RelayServer::release_delayed() {
    if (const auto position = line_sim_.stall_due(now_us_, clients_.size())) {
        auto stalled = std::next(clients_.begin(), static_cast<std::ptrdiff_t>(*position));
        stalled->second->line.stalled_until_us = now_us_ + line_sim_.stall_length_us();
        ++stats_.sim_stalls;
    }
    for (auto& [id, client] : clients_)
        if (!client->closing && now_us_ >= client->line.stalled_until_us) release_client(*client);
}

void RelayServer::release_client(ClientSession& client) {
    auto& outbound = client.line.outbound;
    while (!client.closing && !outbound.empty() && outbound.front().due_us <= now_us_) {
        if (!client.connection.queue_shared(outbound.front().frame)) {
            close_too_slow(client);
        }
        client.line.outbound_bytes -= outbound.front().frame->size();
        outbound.pop_front();
    }
    auto& inbound = client.line.inbound;
    while (!client.closing && !inbound.empty() && inbound.front().due_us <= now_us_) {
        const net::Bytes payload = std::move(inbound.front().payload);
        client.line.inbound_bytes -= payload.size() + 4;
        inbound.pop_front();
        handle_frame(client, payload, now_us_);
    }
    // Frames held back in the input buffer by the queue cap take the room just freed.
    take_frames(client);
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

void RelayServer::run_timers() {
    for (auto& [id, client] : clients_)
        if (!client->closing) run_client_timers(*client);
    send_ping_tables();
}

void RelayServer::run_client_timers(ClientSession& client) {
    if (!client.handshake_done &&
        elapsed_us(now_us_, client.connect_time_us) > std::uint64_t{config_.handshake_timeout_ms} * 1000) {
        ++stats_.timeouts;
        close_client(client, "handshake timeout", true);
        return;
    }
    if (elapsed_us(now_us_, client.last_activity_us) > std::uint64_t{config_.idle_timeout_ms} * 1000) {
        ++stats_.timeouts;
        close_client(client, "timeout", true);
        return;
    }
    if (client.handshake_done &&
        elapsed_us(now_us_, client.last_ping_us) > std::uint64_t{config_.ping_interval_ms} * 1000) {
        client.last_ping_us = now_us_;
        client.ping_sent_us = now_us_;
        ++client.ping_sequence;
        send_to(client, net::Ping{client.ping_sequence, now_us_});
    }
}

void RelayServer::send_ping_tables() {
    const std::uint64_t interval_us = std::uint64_t{config_.ping_interval_ms} * 1000;
    for (auto& [id, game] : games_) {
        if (!game.running || elapsed_us(now_us_, game.last_ping_table_us) < interval_us) continue;
        game.last_ping_table_us = now_us_;
        net::PingTable table;
        for (std::uint32_t member : game.members) {
            const ClientSession* client = find_client(member);
            if (client && !client->closing && table.entries.size() < net::kMaxPingEntries)
                table.entries.push_back({client->player_id, client->round_trip_ms});
        }
        for (std::uint32_t member : game.members)
            if (ClientSession* client = find_client(member)) send_to(*client, table);
    }
}

std::vector<std::uint32_t> RelayServer::send_all_and_collect_closing() {
    std::vector<std::uint32_t> closing;
    for (auto& [id, client] : clients_) {
        if (!client->connection.send_pending() && !client->closing) close_client(*client, "connection lost", false);
        if (client->closing) closing.push_back(id);
    }
    return closing;
}

void RelayServer::disconnect(std::uint32_t id) {
    const auto found = clients_.find(id);
    if (found == clients_.end()) return;
    ClientSession& client = *found->second;
    log_line("client " + std::to_string(id) + " (" + client.name + ") disconnected: " + client.close_reason);
    if (client.game_id != 0) remove_from_game(*this, client, client.close_reason);
    closing_.add(std::move(client.connection), now_us_);
    clients_.erase(found);
}

}  // namespace tarkeep::server
