// The relay server: one thread, one poll loop, all state.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/messages.h"
#include "platform/files.h"
#include "platform/net.h"
#include "server/client_session.h"
#include "server/closing_connections.h"
#include "server/deny_list.h"
#include "server/game.h"
#include "server/line_simulator.h"
#include "server/log_folding.h"
#include "server/log_queue.h"
#include "server/server_config.h"
#include "server/server_stats.h"

namespace tarkeep::server {

// Test-mode line simulation version, shown in the build tag.
inline constexpr int kSimVersion = 1;

// The relay server: one thread, one poll loop over the listening socket and every
// client socket. Message meaning lives in dispatch_message (dispatch.h); one poll step
// is in relay_step.cpp, queuing and closing in relay_output.cpp.
class RelayServer {
public:
    // Microseconds of a monotonic clock; replaceable so tests can drive timeouts.
    using Clock = std::function<std::uint64_t()>;

    explicit RelayServer(ServerConfig config, Clock clock = {});
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // Opens the listening socket; on failure `error` says why and nothing stays open.
    bool start(std::string& error);
    // One step: wait up to `timeout_ms` for socket activity, then accept, receive and
    // handle, run the timers, send, and remove the clients that are closing.
    void poll_once(int timeout_ms);
    void run_until(const std::atomic<bool>& stop, int timeout_ms);
    // Tells every client the server is going away and closes everything.
    void shutdown();

    // Queues one message for a client (dropped when the client is closing).
    void send_to(ClientSession& client, const net::Message& message);
    // Queues an already encoded frame, shared with its other receivers (the relay
    // encodes once for all of them).
    void send_frame(ClientSession& client, const SharedFrame& frame);
    // Writes a message straight to the output buffer, past any test-mode delay, and
    // tries to send it at once: for the last words before a close.
    void send_immediately(ClientSession& client, const net::Message& message);
    // Marks a client closing with `reason`; it is removed at the end of the step. The
    // first reason wins. With notice, the reason is sent to it as a Notice first.
    void close_client(ClientSession& client, const std::string& reason, bool with_notice);
    // Closes a client whose output (sent or delayed by the line simulation) no longer fits
    // its buffer, counted as too slow.
    void close_too_slow(ClientSession& client);
    // Rate limits, decoding and dispatch of one received frame payload.
    void handle_frame(ClientSession& client, const net::Bytes& payload, std::uint64_t now_us);
    // Logs `text`, unless a flood of alike lines is being folded (log_folding.h).
    void log_line(const std::string& text);
    // Logs the status block: clients, games, and what the limits turned away.
    void log_status();
    // Reads the deny file again; a file that cannot be read or parsed is reported and
    // the list in use stays.
    void reload_deny_list();
    // Waits (boundedly) until the console log has written what was queued, so that what
    // the entry prints itself comes after it.
    void flush_log();

    bool listening() const { return listening_; }
    std::uint16_t bound_port() const { return bound_port_; }
    const ServerConfig& config() const { return config_; }
    ServerStats& stats() { return stats_; }
    const ServerStats& stats() const { return stats_; }
    // The "now" of the current (or last) poll step.
    std::uint64_t now_us() const { return now_us_; }

    std::map<std::uint32_t, std::unique_ptr<ClientSession>>& clients() { return clients_; }
    ClientSession* find_client(std::uint32_t id);
    std::map<std::uint32_t, Game>& games() { return games_; }
    Game* find_game(std::uint32_t id);
    // Advances the game id counter.
    std::uint32_t take_game_id() { return next_game_id_++; }
    const LineSimulator& line_simulator() const { return line_sim_; }
    // Connections still draining after their close.
    const ClosingConnections& closing_connections() const { return closing_; }

private:
    // Builds the poll set and waits; returns the ids of clients with nothing to read.
    std::vector<std::uint32_t> wait_for_sockets(int timeout_ms);
    void accept_clients();
    // Closes a connection from a denied address at once; true when it did.
    bool deny(platform::Socket& socket, const std::string& peer);
    bool load_deny_list(std::string& error);
    // Once a second: lines folded in the second before, the deny file's changes, the
    // periodic status block.
    void run_housekeeping();
    // Writes a line past the folding.
    void write_log(const std::string& text);
    void note_accept_failure(int error);
    // When the server is full, a connection still in its handshake after a second gives
    // way to a new one: silent connections cannot hold every place until they time out.
    void evict_handshake_squatter();
    std::uint64_t open_clients() const;
    void refuse(platform::Socket socket, const std::string& peer);
    void admit(platform::Socket socket, const std::string& peer);
    std::uint64_t clients_from(const std::string& address) const;
    void receive_from(ClientSession& client);
    // Every received frame passes here on its way to handle_frame; in test mode it waits
    // in the client's inbound queue first.
    void deliver_inbound(ClientSession& client, net::Bytes&& payload);
    // Cuts complete frames out of the client's input buffer and delivers them.
    void take_frames(ClientSession& client);
    bool inbound_queue_full(const ClientSession& client) const;
    // Test mode: starts due stalls, then hands over the frames whose time has come.
    void release_delayed();
    void release_client(ClientSession& client);
    void run_timers();
    void run_client_timers(ClientSession& client);
    void send_ping_tables();
    std::vector<std::uint32_t> send_all_and_collect_closing();
    void disconnect(std::uint32_t id);
    // Every encoded message of send_to passes here on its way to the output buffer; in
    // test mode it waits in the client's outbound queue first. Close notices do not.
    bool queue_outbound(ClientSession& client, const SharedFrame& frame);

    ServerConfig config_;
    Clock clock_;
    platform::Socket listener_;
    bool listening_ = false;
    bool network_started_ = false;
    std::uint16_t bound_port_ = 0;
    std::uint32_t next_client_id_ = 1;
    std::uint32_t next_game_id_ = 1;
    std::uint64_t now_us_ = 0;
    std::map<std::uint32_t, std::unique_ptr<ClientSession>> clients_;
    std::map<std::uint32_t, Game> games_;
    ServerStats stats_;
    LineSimulator line_sim_;
    ClosingConnections closing_;
    std::unique_ptr<LogQueue> log_queue_;  // console logging; none with a sink or quiet
    LogFolding log_folding_;
    DenyList deny_list_;
    std::optional<platform::FileStamp> deny_file_stamp_;  // as last read
    std::uint64_t started_us_ = 0;
    std::uint64_t housekeeping_second_ = 0;
    std::uint64_t next_status_us_ = 0;
    // Accepting stops for a moment after a failure (out of descriptors, say): the
    // listener would otherwise stay readable and the loop spin. One log line per burst.
    std::uint64_t accept_paused_until_us_ = 0;
    bool accept_failing_ = false;
    bool poll_failing_ = false;
};

}  // namespace tarkeep::server
