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

// Signals only set flags; the work they ask for is done here, between poll steps.
void answer_host_requests(RelayServer& server) {
    if (platform::take_status_request()) server.log_status();
    if (platform::take_reload_request()) server.reload_deny_list();
}

// Until the stop flag is set or, with a limit, `seconds` have passed.
void serve(RelayServer& server, const std::atomic<bool>& stop, std::uint32_t seconds) {
    const std::uint64_t deadline = platform::monotonic_nanoseconds() + std::uint64_t{seconds} * 1000000000u;
    const int timeout = server.config().line_sim.active() ? kSimulationPollMs : kNormalPollMs;
    while (!stop.load() && (seconds == 0 || platform::monotonic_nanoseconds() < deadline)) {
        server.poll_once(timeout);
        answer_host_requests(server);
    }
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
    switch (parsed.status) {
        case OptionsStatus::ok: break;
        case OptionsStatus::help: print(kHelpText); return 0;
        case OptionsStatus::version: print(version_line()); return 0;
        case OptionsStatus::usage:
        // Wrong calls are answered on standard output, as every text of the entry is.
        case OptionsStatus::bad_value: print(usage_error(parsed) + kUsageText); return 2;
    }
    const bool has_deny_file = !parsed.options.config.deny_file.empty();
    platform::install_stop_handler(stop);
    // With a deny file, SIGHUP reloads it rather than stopping the server.
    platform::install_host_requests(has_deny_file);
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
    print(banner_note(server.config().line_sim.active()));
    serve(server, stop, stop_after);
    server.flush_log();
    print(statistics_line(server.stats()));
    if (has_deny_file) print("denied: " + std::to_string(server.stats().denied) + " connections from the deny list\n");
    server.shutdown();
    return 0;
}

}  // namespace tarkeep::server
