// tarkeep_relay_load: bot games (and hostile peers) against a relay, with latency figures.
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "server/entry.h"
#include "server/relay_server.h"
#include "tools/relay_load/load_options.h"
#include "tools/relay_load/load_run.h"

namespace {

using namespace tarkeep;

// The relay sized for the run: every bot and hostile peer has a place, and each client
// may send `frame_limit` frames a second (bytes in proportion).
server::ServerConfig served_config(const relay_load::LoadOptions& options) {
    server::ServerConfig config;
    config.host = "127.0.0.1";
    config.port = 0;
    config.quiet = true;
    config.max_clients = options.clients() + options.hostile + 16;
    config.max_games = options.games + 16;
    const double scale = options.serve_frame_limit / config.message_rate.per_second;
    config.message_rate = {options.serve_frame_limit * 1.0, config.message_rate.burst * scale};
    config.byte_rate = {config.byte_rate.per_second * scale, config.byte_rate.burst * scale};
    return config;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarkeep::relay_load;
    ParsedLoadOptions parsed = parse_load_options(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.status == OptionsStatus::help) {
        std::fputs(LOAD_USAGE, stdout);
        return 0;
    }
    if (parsed.status == OptionsStatus::usage) {
        std::fprintf(stderr, "%s\n%s", parsed.error.c_str(), LOAD_USAGE);
        return 2;
    }
    std::unique_ptr<server::RelayServer> relay;
    std::atomic<bool> stop{false};
    std::thread serving;
    if (parsed.options.serve_frame_limit != 0) {
        relay = std::make_unique<server::RelayServer>(served_config(parsed.options));
        std::string error;
        if (!relay->start(error)) {
            std::fprintf(stderr, "cannot start the relay: %s\n", error.c_str());
            return 1;
        }
        parsed.options.host = "127.0.0.1";
        parsed.options.port = relay->bound_port();
        serving = std::thread([&] { relay->run_until(stop, 20); });
    }
    const LoadReport report =
        run_load(parsed.options, [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    if (relay) {
        stop = true;
        serving.join();
        std::fprintf(stderr, "relay: %s", server::statistics_line(relay->stats()).c_str());
    }
    const std::string text = format_report(parsed.options, report);
    std::fputs(text.c_str(), report.ok ? stdout : stderr);
    return report.ok ? 0 : 1;
}
