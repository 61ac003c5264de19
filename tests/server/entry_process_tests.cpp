#include <gtest/gtest.h>

#include <cstdio>

#include "platform/shell.h"
#include "server/options.h"
#include "server_harness.h"
#include "tests/support/program_run.h"

namespace tarkeep::test {
namespace {

const std::string ZERO_STATISTICS =
    "stopped: 0 connections, 0 games, 0 bundles relayed, 0 hash reports, 0 blob chunks, 0 hash mismatches, "
    "0 drops, 0 kicked, 0 timeouts, 0 delayed (sim), 0 stalls (sim)\n";

std::filesystem::path server_program() { return built_program("server/tarkeep_server"); }

ProgramResult run_server(const std::vector<std::string>& arguments) {
    return run_program(server_program(), arguments);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(ServerProgram, UsageAndBadValuesEndWithStatusTwo) {
    const auto help = run_server({"--help"});
    EXPECT_EQ(help.exit_code, 2);
    EXPECT_EQ(help.out, server::USAGE_TEXT);
    const auto port_last = run_server({"--quiet", "--port"});
    EXPECT_EQ(port_last.exit_code, 2);
    EXPECT_EQ(port_last.out, "bad value for --port\n");
    const auto big_port = run_server({"--port", "70000"});
    EXPECT_EQ(big_port.exit_code, 2);
    EXPECT_EQ(big_port.out, "bad value for --port\n");
}

TEST(ServerProgram, StopAfterOneSecondPrintsBannerLogAndZeroStatistics) {
    const auto result = run_server({"--host", "127.0.0.1", "--port", "0", "--stop-after", "1"});
    EXPECT_EQ(result.exit_code, 0);
    const auto lines = lines_of(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out;
    unsigned hour = 99, minute = 99, second = 99, port = 0;
    int consumed = -1;
    std::sscanf(lines[0].c_str(), "%2u:%2u:%2u listening on 127.0.0.1:%u (protocol 2)%n", &hour, &minute, &second, &port,
                &consumed);
    EXPECT_EQ(consumed, static_cast<int>(lines[0].size())) << lines[0];
    EXPECT_TRUE(hour < 24 && minute < 60 && second < 61 && port > 0) << lines[0];
    EXPECT_EQ(lines[0].substr(2, 1) + lines[0].substr(5, 1), "::") << lines[0];
    const std::string banner_start = "Tarkeep relay server (sim 1 src ";
    const std::string banner_end = "), Ctrl+C to stop";
    ASSERT_EQ(lines[1].size(), banner_start.size() + 16 + banner_end.size()) << lines[1];
    EXPECT_EQ(lines[1].substr(0, banner_start.size()), banner_start);
    EXPECT_EQ(lines[1].substr(banner_start.size() + 16), banner_end);
    EXPECT_EQ(lines[1].substr(banner_start.size(), 16).find_first_not_of("0123456789abcdef"), std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[2] + "\n", ZERO_STATISTICS);
}

TEST(ServerProgram, QuietKeepsBannerAndStatisticsOnly) {
    const auto result = run_server({"--quiet", "--host", "127.0.0.1", "--port", "0", "--stop-after", "1"});
    EXPECT_EQ(result.exit_code, 0);
    const auto lines = lines_of(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_TRUE(lines[0].starts_with("Tarkeep relay server (sim 1 src "));
    EXPECT_EQ(lines[1] + "\n", ZERO_STATISTICS);
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

// Starts the server in the background, waits for its banner (the stop handler is in
// place by then), sends `signal` and reports what the server printed and returned.
ProgramResult run_and_signal(const std::string& signal) {
    const std::string script =
        "out=$(mktemp); '" + server_program().string() +
        "' --quiet --host 127.0.0.1 --port 0 >\"$out\" & pid=$!; i=0; "
        "while ! grep -q 'Ctrl+C' \"$out\" && [ $i -lt 400 ]; do sleep 0.025; i=$((i+1)); done; "
        "kill -" + signal + " $pid; wait $pid; rc=$?; cat \"$out\"; rm -f \"$out\"; exit $rc";
    return run_program("/bin/sh", {"-c", script});
}

TEST(ServerProgram, InterruptOrTerminationStopsTheServerWithStatistics) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "sends POSIX signals through /bin/sh";
    for (const char* signal : {"INT", "TERM"}) {
        const auto result = run_and_signal(signal);
        EXPECT_EQ(result.exit_code, 0) << signal;
        const auto lines = lines_of(result.out);
        ASSERT_EQ(lines.size(), 2u) << result.out;
        EXPECT_EQ(lines[1] + "\n", ZERO_STATISTICS);
    }
}

}  // namespace
}  // namespace tarkeep::test
