// The relay server's life: start, shutdown, logging and lookups.
#include "server/relay_server.h"

#include "net/message_codec.h"
#include "platform/clock.h"
#include "platform/cmdline.h"
#include "server/microseconds.h"
#include "server/status_report.h"
#include "server/text_clean.h"

namespace tarkeep::server {
namespace {

// How long a closed connection may take to read its last frames and close its side.
constexpr std::uint64_t kCloseDrainUs = 2'000'000;
// Enough for a flood of refusals; past it the oldest draining connection is cut.
constexpr std::size_t kMaxClosingConnections = 256;
// Lines the console log holds while its stream is slow; beyond that they are counted.
constexpr std::size_t kLogQueueLines = 4096;

LogQueue::Stamp log_stamp(bool with_date) {
    const char* const format = with_date ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S";
    return
        [format](std::string_view text) { return platform::local_time_text(format) + " " + std::string(text) + "\n"; };
}

}  // namespace

RelayServer::RelayServer(ServerConfig config, Clock clock)
    : config_(std::move(config)),
      clock_(clock ? std::move(clock) : Clock(platform::monotonic_microseconds)),
      line_sim_(config_.line_sim),
      closing_(kCloseDrainUs, kMaxClosingConnections) {
    if (!config_.quiet && !config_.log_sink)
        log_queue_ = std::make_unique<LogQueue>(write_to_stdout, log_stamp(config_.log_date), kLogQueueLines);
}

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
    if (config_.motd.size() > net::kMaxText) {
        error = "message of the day longer than " + std::to_string(net::kMaxText) + " bytes";
        return false;
    }
    if (!config_.deny_file.empty() && !load_deny_list(error)) return false;
    if (!platform::network_start(error)) return false;
    if (!platform::listen_tcp(config_.host, config_.port, listener_, bound_port_, error)) {
        platform::network_stop();
        return false;
    }
    network_started_ = true;
    listening_ = true;
    started_us_ = clock_();
    housekeeping_second_ = started_us_ / kMicrosecondsPerSecond;
    next_status_us_ = started_us_ + std::uint64_t{config_.status_every_s} * kMicrosecondsPerSecond;
    log_line("listening on " + config_.host + ":" + std::to_string(bound_port_) + " (protocol " +
             std::to_string(net::kProtocolVersion) + ")");
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
        } catch (const net::ProtocolError&) {}
        client->connection.send_pending();
        // No drain: the server is going away, but the notice goes out before the end of
        // the stream rather than with a reset.
        platform::shutdown_send(client->connection.socket());
        client->connection.close();
    }
    clients_.clear();
    closing_.close_all();
    games_.clear();
    listener_.close();
    listening_ = false;
    if (network_started_) {
        platform::network_stop();
        network_started_ = false;
    }
}

void RelayServer::log_line(const std::string& text) {
    if (config_.quiet) return;
    for (const std::string& folded : log_folding_.take_folded(now_us_)) write_log(folded);
    if (log_folding_.admit(text, now_us_)) write_log(text);
}

void RelayServer::write_log(const std::string& text) {
    if (config_.quiet) return;
    if (config_.log_sink) {
        config_.log_sink(text);
        return;
    }
    if (log_queue_) log_queue_->push(text);
}

void RelayServer::log_status() {
    const std::uint64_t uptime_us = now_us_ > started_us_ ? now_us_ - started_us_ : 0;
    for (const std::string& line : status_lines(uptime_us, clients_, games_, stats_)) write_log(line);
}

bool RelayServer::load_deny_list(std::string& error) {
    // Stamped before reading: a write during the read is seen as a change next time.
    deny_file_stamp_ = platform::file_stamp(platform::path_from_utf8(config_.deny_file));
    auto list = load_deny_file(config_.deny_file, error);
    if (!list) return false;
    deny_list_ = std::move(*list);
    log_line("deny list " + config_.deny_file + ": " + std::to_string(deny_list_.entries()) + " entries");
    return true;
}

void RelayServer::reload_deny_list() {
    if (config_.deny_file.empty()) return;
    std::string error;
    if (!load_deny_list(error))
        log_line(error + "; the deny list in use stays (" + std::to_string(deny_list_.entries()) + " entries)");
}

void RelayServer::run_housekeeping() {
    housekeeping_second_ = now_us_ / kMicrosecondsPerSecond;
    if (!config_.quiet)
        for (const std::string& folded : log_folding_.take_folded(now_us_)) write_log(folded);
    if (!config_.deny_file.empty() &&
        platform::file_stamp(platform::path_from_utf8(config_.deny_file)) != deny_file_stamp_)
        reload_deny_list();
    if (config_.status_every_s != 0 && now_us_ >= next_status_us_) {
        next_status_us_ = now_us_ + std::uint64_t{config_.status_every_s} * kMicrosecondsPerSecond;
        log_status();
    }
}

void RelayServer::flush_log() {
    if (log_queue_) log_queue_->flush(LogQueue::flush_limit_ms);
}

ClientSession* RelayServer::find_client(std::uint32_t id) {
    const auto found = clients_.find(id);
    return found == clients_.end() ? nullptr : found->second.get();
}

Game* RelayServer::find_game(std::uint32_t id) {
    const auto found = games_.find(id);
    return found == games_.end() ? nullptr : &found->second;
}

}  // namespace tarkeep::server
