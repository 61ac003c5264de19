#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "platform/shell.h"
#include "server/entry.h"
#include "server/options.h"
#include "server_harness.h"
#include "tests/support/program_run.h"

namespace tarkeep::test {
namespace {

using server::OptionsStatus;
using server::parse_server_options;

const std::string ZERO_STATISTICS =
    "stopped: 0 connections, 0 games, 0 bundles relayed, 0 hash reports, 0 blob chunks, 0 hash mismatches, "
    "0 drops, 0 kicked, 0 timeouts, 0 delayed (sim), 0 stalls (sim)";

TEST(ServerOptions, DefaultsAndEveryOption) {
    const auto defaults = parse_server_options({});
    ASSERT_EQ(defaults.status, OptionsStatus::ok);
    const server::ServerConfig& d = defaults.options.config;
    EXPECT_EQ(std::tie(d.host, d.port, d.motd, defaults.options.stop_after_s),
              std::tuple(std::string("0.0.0.0"), 26200, std::string("Tarkeep relay"), 0u));
    EXPECT_FALSE(d.line_sim.active());

    const auto parsed = parse_server_options({"--host",
                                              "127.0.0.1",
                                              "--port",
                                              "65535",
                                              "--max-clients",
                                              "4294967295",
                                              "--max-games",
                                              "3",
                                              "--motd",
                                              "hi there",
                                              "--quiet",
                                              "--sim-latency",
                                              "100",
                                              "--sim-jitter",
                                              "5",
                                              "--sim-hold",
                                              "7",
                                              "--sim-hold-every",
                                              "9",
                                              "--sim-seed",
                                              "18446744073709551615",
                                              "--stop-after",
                                              "2",
                                              "--port",
                                              "1"});
    ASSERT_EQ(parsed.status, OptionsStatus::ok);
    const server::ServerConfig& c = parsed.options.config;
    // The last of a repeated option (--port) wins; options leave the other fields alone.
    EXPECT_EQ(std::tie(c.host, c.port, c.max_clients, c.max_games, c.motd, c.quiet, parsed.options.stop_after_s,
                       c.max_clients_per_address),
              std::tuple(std::string("127.0.0.1"), 1, 4294967295ull, 3ull, std::string("hi there"), true, 2u, 8ull));
    const server::LineSimConfig& s = c.line_sim;
    EXPECT_EQ(std::tie(s.latency_ms, s.jitter_ms, s.hold_ms, s.hold_every_ms, s.seed),
              std::tuple(100u, 5u, 7u, 9u, 18446744073709551615ull));
}

TEST(ServerOptions, BadValuesNameTheOptionAsTyped) {
    const std::vector<std::string> cases[] = {
        {"--port"},
        {"--port", ""},
        {"--port", "65536"},
        {"--port", "80x"},
        {"--port", "-1"},
        {"--port", " 80"},
        {"--max-clients", "4294967296"},
        {"--max-games", "99999999999999999999"},
        {"--sim-latency", "4294967296"},
        {"--sim-hold-every", "+5"},
        {"--sim-seed", "18446744073709551616"},
        {"--stop-after", "4294967296"},
        {"--quiet", "--stop-after"},
    };
    for (const auto& args : cases) {
        const auto parsed = parse_server_options(args);
        EXPECT_EQ(parsed.status, OptionsStatus::bad_value) << args.back();
        const std::string option = args.back().starts_with("--") ? args.back() : args[args.size() - 2];
        EXPECT_EQ(parsed.bad_option, option);
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

TEST(ServerStatistics, LineListsTheCountersInOrderWithKicksSummed) {
    // 999 marks the counters that are not printed.
    const server::ServerStats stats{1, 999, 999, 999, 2, 999, 999, 3, 4, 999, 8, 100, 9, 7, 6, 5, 10, 11};
    EXPECT_EQ(server::statistics_line(stats),
              "stopped: 1 connections, 2 games, 3 bundles relayed, 4 hash reports, 5 blob chunks, "
              "6 hash mismatches, 7 drops, 108 kicked, 9 timeouts, 10 delayed (sim), 11 stalls (sim)\n");
}

std::filesystem::path server_program() { return built_program("server/tarkeep_server"); }

ProgramResult run_server(const std::vector<std::string>& arguments) { return run_program(server_program(), arguments); }

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// "Tarkeep relay server (sim 1 src <16 hex digits>), Ctrl+C to stop"
void expect_banner(const std::string& line) {
    const std::string start = "Tarkeep relay server (sim 1 src ", end = "), Ctrl+C to stop";
    ASSERT_EQ(line.size(), start.size() + 16 + end.size()) << line;
    EXPECT_TRUE(line.starts_with(start) && line.ends_with(end)) << line;
    EXPECT_EQ(line.substr(start.size(), 16).find_first_not_of("0123456789abcdef"), std::string::npos) << line;
}

TEST(ServerProgram, UsageAndBadValuesEndWithStatusTwo) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, server::kUsageText},
        {{"--quiet", "--port"}, "bad value for --port\n"},
        {{"--port", "70000"}, "bad value for --port\n"},
    };
    for (const auto& [arguments, out] : cases) {
        const auto result = run_server(arguments);
        EXPECT_EQ(result.exit_code, 2) << arguments.back();
        EXPECT_EQ(result.out, out);
    }
}

// "hh:mm:ss listening on 127.0.0.1:<port> (protocol 2)"
void expect_listening_line(const std::string& line) {
    unsigned hour = 99, minute = 99, second = 99, port = 0;
    int consumed = -1;
    std::sscanf(line.c_str(), "%2u:%2u:%2u listening on 127.0.0.1:%u (protocol 2)%n", &hour, &minute, &second, &port,
                &consumed);
    EXPECT_EQ(consumed, static_cast<int>(line.size())) << line;
    EXPECT_TRUE(hour < 24 && minute < 60 && second < 61 && port > 0) << line;
    EXPECT_EQ(line.substr(2, 1) + line.substr(5, 1), "::") << line;
}

TEST(ServerProgram, StopAfterOneSecondPrintsTimedLogUnlessQuietBannerAndZeroStatistics) {
    for (const bool quiet : {false, true}) {
        std::vector<std::string> arguments = {"--host", "127.0.0.1", "--port", "0", "--stop-after", "1"};
        if (quiet) arguments.push_back("--quiet");
        const auto result = run_server(arguments);
        EXPECT_EQ(result.exit_code, 0);
        const auto lines = lines_of(result.out);
        ASSERT_EQ(lines.size(), quiet ? 2u : 3u) << result.out;
        if (!quiet) expect_listening_line(lines[0]);
        expect_banner(lines[lines.size() - 2]);
        EXPECT_EQ(lines.back(), ZERO_STATISTICS);
    }
}

TEST(ServerProgram, StartFailuresEndWithStatusOne) {
    ServerHarness holder;  // keeps a port busy
    const std::string port = std::to_string(holder.server->bound_port());
    const auto busy = run_server({"--quiet", "--host", "127.0.0.1", "--port", port});
    EXPECT_EQ(busy.exit_code, 1);
    EXPECT_TRUE(busy.out.starts_with("cannot start: bind 127.0.0.1:" + port + " (error ")) << busy.out;
    EXPECT_TRUE(busy.out.ends_with(")\n"));

    const auto motd = run_server({"--port", "0", "--motd", std::string(201, 'm')});
    EXPECT_EQ(motd.exit_code, 1);
    EXPECT_EQ(motd.out, "cannot start: message of the day longer than 200 bytes\n");
}

TEST(ServerProgram, InterruptTerminationOrHangUpStopsTheServerWithStatistics) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "sends POSIX signals through /bin/sh";
    for (const char* signal : {"INT", "TERM", "HUP"}) {
        // Started in the background; the signal goes once the banner shows the stop handler is in place.
        const std::string script =
            "out=$(mktemp); '" + server_program().string() +
            "' --quiet --host 127.0.0.1 --port 0 >\"$out\" & pid=$!; i=0; "
            "while ! grep -q 'Ctrl+C' \"$out\" && [ $i -lt 400 ]; do sleep 0.025; i=$((i+1)); done; "
            "kill -" +
            std::string(signal) + " $pid; wait $pid; rc=$?; cat \"$out\"; rm -f \"$out\"; exit $rc";
        const auto result = run_program("/bin/sh", {"-c", script});
        EXPECT_EQ(result.exit_code, 0) << signal;
        const auto lines = lines_of(result.out);
        ASSERT_EQ(lines.size(), 2u) << result.out;
        EXPECT_EQ(lines[1], ZERO_STATISTICS);
    }
}

}  // namespace
}  // namespace tarkeep::test
