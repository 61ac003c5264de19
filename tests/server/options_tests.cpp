#include <gtest/gtest.h>

#include "server/entry.h"
#include "server/options.h"

namespace tarkeep::server {
namespace {

TEST(ServerOptions, DefaultsAndEveryOption) {
    const auto defaults = parse_server_options({});
    ASSERT_EQ(defaults.status, OptionsStatus::ok);
    EXPECT_EQ(defaults.options.config.host, "0.0.0.0");
    EXPECT_EQ(defaults.options.config.port, 26200);
    EXPECT_EQ(defaults.options.config.motd, "Tarkeep relay");
    EXPECT_EQ(defaults.options.stop_after_s, 0u);
    EXPECT_FALSE(defaults.options.config.line_sim.active());

    const auto parsed = parse_server_options(
        {"--host", "127.0.0.1", "--port", "65535", "--max-clients", "4294967295", "--max-games", "3", "--motd",
         "hi there", "--quiet", "--sim-latency", "100", "--sim-jitter", "5", "--sim-hold", "7", "--sim-hold-every",
         "9", "--sim-seed", "18446744073709551615", "--stop-after", "2", "--port", "1"});
    ASSERT_EQ(parsed.status, OptionsStatus::ok);
    const ServerConfig& c = parsed.options.config;
    EXPECT_EQ(c.host, "127.0.0.1");
    EXPECT_EQ(c.port, 1) << "the last of a repeated option wins";
    EXPECT_EQ(c.max_clients, 4294967295u);
    EXPECT_EQ(c.max_games, 3u);
    EXPECT_EQ(c.motd, "hi there");
    EXPECT_TRUE(c.quiet);
    EXPECT_EQ(c.line_sim.latency_ms, 100u);
    EXPECT_EQ(c.line_sim.jitter_ms, 5u);
    EXPECT_EQ(c.line_sim.hold_ms, 7u);
    EXPECT_EQ(c.line_sim.hold_every_ms, 9u);
    EXPECT_EQ(c.line_sim.seed, 18446744073709551615ull);
    EXPECT_EQ(parsed.options.stop_after_s, 2u);
    EXPECT_EQ(c.max_clients_per_address, 8u) << "options leave the other fields alone";
}

TEST(ServerOptions, BadValuesNameTheOptionAsTyped) {
    struct Case {
        std::vector<std::string> args;
        const char* option;
    };
    const Case cases[] = {
        {{"--port"}, "--port"},
        {{"--port", ""}, "--port"},
        {{"--port", "65536"}, "--port"},
        {{"--port", "80x"}, "--port"},
        {{"--port", "-1"}, "--port"},
        {{"--port", " 80"}, "--port"},
        {{"--max-clients", "4294967296"}, "--max-clients"},
        {{"--max-games", "99999999999999999999"}, "--max-games"},
        {{"--sim-latency", "4294967296"}, "--sim-latency"},
        {{"--sim-hold-every", "+5"}, "--sim-hold-every"},
        {{"--sim-seed", "18446744073709551616"}, "--sim-seed"},
        {{"--stop-after", "4294967296"}, "--stop-after"},
        {{"--quiet", "--stop-after"}, "--stop-after"},
    };
    for (const Case& c : cases) {
        const auto parsed = parse_server_options(c.args);
        EXPECT_EQ(parsed.status, OptionsStatus::bad_value) << c.args.back();
        EXPECT_EQ(parsed.bad_option, c.option);
    }
}

TEST(ServerOptions, UnknownArgumentsAndTextsGivenLast) {
    EXPECT_EQ(parse_server_options({"--help"}).status, OptionsStatus::usage);
    EXPECT_EQ(parse_server_options({"--port", "1", "extra"}).status, OptionsStatus::usage);
    EXPECT_EQ(parse_server_options({"--PORT", "1"}).status, OptionsStatus::usage);
    const auto host_last = parse_server_options({"--host"});
    ASSERT_EQ(host_last.status, OptionsStatus::ok);
    EXPECT_EQ(host_last.options.config.host, "");
    // A value that looks like an option is still taken as the value.
    const auto motd = parse_server_options({"--motd", "--quiet"});
    EXPECT_EQ(motd.options.config.motd, "--quiet");
    EXPECT_FALSE(motd.options.config.quiet);
}

TEST(ServerOptions, LineSimulationIsOnlyActiveWithAStallPairOrADelay) {
    LineSimConfig sim;
    sim.hold_ms = 100;
    EXPECT_FALSE(sim.active());
    sim.hold_every_ms = 1000;
    EXPECT_TRUE(sim.active());
    EXPECT_TRUE((LineSimConfig{0, 1, 0, 0, 1}.active()));
    EXPECT_TRUE((LineSimConfig{1, 0, 0, 0, 1}.active()));
}

TEST(ServerStatistics, LineListsTheCountersInOrderWithKicksSummed) {
    ServerStats stats;
    stats.connections = 1;
    stats.games = 2;
    stats.bundles_relayed = 3;
    stats.hash_reports = 4;
    stats.blob_chunks = 5;
    stats.hash_mismatches = 6;
    stats.drops = 7;
    stats.rate_limit_kicks = 8;
    stats.protocol_kicks = 100;
    stats.timeouts = 9;
    stats.sim_delayed = 10;
    stats.sim_stalls = 11;
    stats.refused = stats.handshakes = stats.chats = 999;  // not printed
    EXPECT_EQ(statistics_line(stats),
              "stopped: 1 connections, 2 games, 3 bundles relayed, 4 hash reports, 5 blob chunks, "
              "6 hash mismatches, 7 drops, 108 kicked, 9 timeouts, 10 delayed (sim), 11 stalls (sim)\n");
}

}  // namespace
}  // namespace tarkeep::server
