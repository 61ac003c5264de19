// The load tool: its options and figures, its hostile peers, and whole runs against a real server.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>

#include "server/relay_server.h"
#include "tools/relay_load/latency_stats.h"
#include "tools/relay_load/load_options.h"
#include "tools/relay_load/load_run.h"

namespace tarkeep::relay_load {
namespace {

TEST(RelayLoadOptions, ValuesRangesHelpAndNearestRankPercentiles) {
    const auto parsed =
        parse_load_options({"--games", "3", "--players", "5", "--rate", "25", "--seconds", "2", "--host", "127.0.0.9",
                            "--port", "4000", "--per-address", "0", "--hostile", "10", "--serve", "600"});
    ASSERT_EQ(parsed.status, OptionsStatus::run);
    const LoadOptions& o = parsed.options;
    EXPECT_EQ(std::tie(o.games, o.players, o.turns_per_second, o.seconds, o.host, o.port, o.per_address, o.hostile,
                       o.serve_frame_limit),
              std::make_tuple(3u, 5u, 25.0, 2u, std::string("127.0.0.9"), std::uint16_t{4000}, 0u, 10u, 600u));
    EXPECT_EQ(parse_load_options({"--help"}).status, OptionsStatus::help);

    // "max" keeps every bot under the relay's frame limit, hash reports and pongs included.
    const auto max = parse_load_options({"--rate", "max", "--hash-every", "4"}).options;
    EXPECT_TRUE(max.turns_per_second * 1.25 + 1 <= SERVER_FRAMES_PER_SECOND &&
                max.turns_per_second * 1.25 + 1 > SERVER_FRAMES_PER_SECOND * 0.9);
    EXPECT_GT(parse_load_options({"--serve", "600", "--rate", "max"}).options.turns_per_second,
              SERVER_FRAMES_PER_SECOND);  // the served limit counts

    // Out of range, not a number, a missing value, a stray word, an unknown option.
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--players", "9"}, {"--games", "x"}, {"--port", "70000"}, {"--seconds"}, {"stray"}, {"--bogus", "1"}})
        EXPECT_EQ(parse_load_options(bad).status, OptionsStatus::usage) << bad[0];
    LatencyStats stats;
    EXPECT_EQ(stats.summarize().samples, 0u);
    for (std::uint64_t us = 100; us >= 1; --us) stats.add(us * 1000);  // 1..100 ms, reversed
    const LatencySummary summary = stats.summarize();
    EXPECT_EQ(std::tie(summary.samples, summary.p50_ms, summary.p99_ms, summary.max_ms),
              std::make_tuple(100u, 50.0, 99.0, 100.0));
}

// A real server in its own thread, the bots in this one.
class ServerThread {
public:
    explicit ServerThread(server::ServerConfig config) {
        config.host = "127.0.0.1", config.port = 0, config.quiet = true;
        server_ = std::make_unique<server::RelayServer>(std::move(config));
        std::string error;
        EXPECT_TRUE(server_->start(error)) << error;
        thread_ = std::thread([this] { server_->run_until(stop_, 5); });
    }
    ~ServerThread() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    std::unique_ptr<server::RelayServer> server_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Two rounds: the honest games alone, then beside two hostile peers of each kind.
TEST(RelayLoadRun, EveryBundleReachesEveryOtherPlayerInOrderAlsoBesideHostilePeers) {
    ServerThread server({});
    LoadOptions options;
    options.port = server.server_->bound_port();
    options.games = 3, options.players = 4;  // 12 bots: more than one relay admits from a single address
    options.turns_per_second = 40, options.seconds = 1, options.hash_every = 2, options.hostile = 10;
    const LoadReport report = run_load(options);
    server.stop();
    const server::ServerStats& stats = server.server_->stats();
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_TRUE(report.games_started == 3u && report.bundles_sent > 12u * 30);
    EXPECT_EQ(std::tie(report.bundles_received, report.hashes_received, report.latency.samples),
              std::make_tuple(report.expected_bundles, report.hashes_sent * 3, report.bundles_received));
    EXPECT_TRUE(report.order_errors == 0 && report.bots_lost == 0 && report.notices.empty());
    // The send time travels in the bundle and is read back where it was written: a wrong offset
    // gives no latency at all (a time in the future) or the clock's whole age.
    EXPECT_TRUE(report.latency.max_ms > 0 && report.latency.max_ms < 10000) << report.latency.max_ms;
    const auto& round = report.hostile;
    EXPECT_GT(round.expected_bundles, 12u * 30 * 3);
    EXPECT_EQ(std::tie(round.bundles_received, round.latency.samples),
              std::tie(round.expected_bundles, round.bundles_received));
    // Kicked peers notice the close and come back.
    EXPECT_TRUE(round.closed_by_server >= 4u && round.connects > 10u)
        << round.closed_by_server << " " << round.connects;
    EXPECT_EQ(std::tie(stats.bundles_relayed, stats.hash_mismatches),
              std::make_tuple(report.bundles_sent + round.expected_bundles / 3, 0u));
    // Garbage and oversized frames are kicked (and come back); the deaf ones got in.
    EXPECT_TRUE(stats.protocol_kicks >= 4u && stats.handshakes >= 12u + 2u);
    const std::string text = format_report(options, report);
    EXPECT_NE(text.find("latency: p50 "), std::string::npos) << text;
    EXPECT_NE(text.find("beside 10 hostile connections"), std::string::npos) << text;
}

TEST(RelayLoadRun, ARunThatCannotBeSetUpSaysWhy) {
    server::ServerConfig one_game;
    one_game.max_games = 1;
    ServerThread server(one_game);
    // Nothing listens on port 1.
    const std::pair<std::uint16_t, std::string> cases[] = {
        {server.server_->bound_port(), "too many games on this server"}, {1, "connect 127.0.0.1:1"}};
    for (const auto& [port, error] : cases) {
        LoadOptions options;
        options.port = port, options.games = 2, options.players = 1;
        const LoadReport report = run_load(options);
        EXPECT_FALSE(report.ok);
        EXPECT_NE(report.error.find(error), std::string::npos) << report.error;
        EXPECT_EQ(format_report(options, report).rfind("error: ", 0), 0u);
    }
}

}  // namespace
}  // namespace tarkeep::relay_load
