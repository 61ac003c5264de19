// The program: options, start, the serving loop, statistics and shutdown.
#include "server/entry.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/signals.h"
#include "server/options.h"
#include "server/relay_server.h"

namespace tarkeep::server {
namespace {

constexpr int kNormalPollMs = 20;
constexpr int kSimulationPollMs = 1;

void print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void run_for(RelayServer& server, const std::atomic<bool>& stop, std::uint32_t seconds) {
    const std::uint64_t deadline = platform::monotonic_nanoseconds() + std::uint64_t{seconds} * 1000000000u;
    const int timeout = server.config().line_sim.active() ? kSimulationPollMs : kNormalPollMs;
    while (!stop.load() && platform::monotonic_nanoseconds() < deadline) server.poll_once(timeout);
}

}  // namespace

std::string statistics_line(const ServerStats& s) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return "stopped: " + n(s.connections) + " connections, " + n(s.games) + " games, " + n(s.bundles_relayed) +
           " bundles relayed, " + n(s.hash_reports) + " hash reports, " + n(s.blob_chunks) + " blob chunks, " +
           n(s.hash_mismatches) + " hash mismatches, " + n(s.drops) + " drops, " +
           n(s.rate_limit_kicks + s.protocol_kicks) + " kicked, " + n(s.timeouts) + " timeouts, " + n(s.sim_delayed) +
           " delayed (sim), " + n(s.sim_stalls) + " stalls (sim)\n";
}

int run_server_entry(const std::vector<std::string>& arguments, std::atomic<bool>& stop) {
    ParsedOptions parsed = parse_server_options(arguments);
    if (parsed.status == OptionsStatus::usage) {
        print(kUsageText);
        return 2;
    }
    if (parsed.status == OptionsStatus::bad_value) {
        print("bad value for " + parsed.bad_option + "\n");
        return 2;
    }
    platform::install_stop_handler(stop);
    // Run as `tarkeep_server | tee log`, a reader that goes away must not end the server.
    platform::ignore_broken_pipe();
    const std::uint32_t stop_after = parsed.options.stop_after_s;
    RelayServer server(std::move(parsed.options.config));
    std::string error;
    if (!server.start(error)) {
        print("cannot start: " + error + "\n");
        return 1;
    }
    server.flush_log();
    print("Tarkeep relay server (" + build_tag() + "), Ctrl+C to stop\n");
    if (stop_after > 0)
        run_for(server, stop, stop_after);
    else
        server.run_until(stop, kNormalPollMs);
    server.flush_log();
    print(statistics_line(server.stats()));
    server.shutdown();
    return 0;
}

}  // namespace tarkeep::server
