// The server program: its options, its statistics line, and whole runs of the built program.
#include <cctype>
#include <sstream>
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

// The parts of `text` between separators; "" gives one empty part.
std::vector<std::string> words(const std::string& text, char separator = ' ') {
    std::vector<std::string> parts(1);
    for (char c : text) c == separator ? parts.emplace_back() : parts.back() += c;
    return parts;
}

const std::string ZERO_STATISTICS =
    "stopped: 0 connections, 0 games, 0 bundles relayed, 0 hash reports, 0 blob chunks, 0 hash mismatches, "
    "0 drops, 0 kicked, 0 timeouts, 0 delayed (sim), 0 stalls (sim)";

TEST(ServerOptions, DefaultsEveryOptionBadValuesUnknownArgumentsAndTextsGivenLast) {
    const auto defaults = parse_server_options({});
    ASSERT_EQ(defaults.status, OptionsStatus::ok);
    const server::ServerConfig& d = defaults.options.config;
    EXPECT_EQ(std::tie(d.host, d.port, d.motd, defaults.options.stop_after_s),
              std::tuple(std::string("0.0.0.0"), 26200, std::string("Tarkeep relay"), 0u));
    EXPECT_FALSE(d.line_sim.active());

    const auto parsed = parse_server_options(words(
        "--host 127.0.0.1 --port 65535 --max-clients 4294967295 --max-games 3 --motd hi --quiet --sim-latency 100 "
        "--sim-jitter 5 --sim-hold 7 --sim-hold-every 9 --sim-seed 18446744073709551615 --stop-after 2 --port 1 "
        "--log-date --status-every 60 --deny-file deny.txt"));
    ASSERT_EQ(parsed.status, OptionsStatus::ok);
    const server::ServerConfig& c = parsed.options.config;
    // The last of a repeated option (--port) wins; options leave the other fields alone.
    EXPECT_EQ(std::tie(c.host, c.port, c.max_clients, c.max_games, c.motd, c.quiet, parsed.options.stop_after_s,
                       c.max_clients_per_address),
              std::tuple(std::string("127.0.0.1"), 1, 4294967295ull, 3ull, std::string("hi"), true, 2u, 8ull));
    EXPECT_EQ(std::tie(c.log_date, c.status_every_s, c.deny_file), std::tuple(true, 60u, "deny.txt"));
    const server::LineSimConfig& s = c.line_sim;
    EXPECT_EQ(std::tie(s.latency_ms, s.jitter_ms, s.hold_ms, s.hold_every_ms, s.seed),
              std::tuple(100u, 5u, 7u, 9u, 18446744073709551615ull));

    // A bad value names the option as typed.
    for (const char* line : {"--port", "--port|", "--port|65536", "--port|80x", "--port|-1", "--port| 80",
                             "--max-clients|4294967296", "--max-games|99999999999999999999", "--sim-latency|4294967296",
                             "--sim-hold-every|+5", "--sim-seed|18446744073709551616", "--stop-after|4294967296",
                             "--quiet|--stop-after", "--status-every|1s", "--deny-file|"}) {
        const auto args = words(line, '|');
        const auto bad = parse_server_options(args);
        EXPECT_EQ(bad.status, OptionsStatus::bad_value) << args.back();
        EXPECT_EQ(bad.bad_option, args.back().starts_with("--") ? args.back() : args[args.size() - 2]);
    }
    for (const char* line : {"--port 1 extra", "--PORT 1", "--port=1"})
        EXPECT_EQ(parse_server_options(words(line)).status, OptionsStatus::usage) << line;
    const auto host_last = parse_server_options({"--host"});
    EXPECT_EQ(std::tie(host_last.status, host_last.options.config.host), std::tuple(OptionsStatus::ok, ""));
    // A value that looks like an option is still taken as the value.
    const auto motd = parse_server_options({"--motd", "--quiet"});
    EXPECT_EQ(std::tie(motd.options.config.motd, motd.options.config.quiet), std::tuple("--quiet", false));
}

TEST(ServerStatistics, LineListsTheCountersInOrderWithKicksSummed) {
    // 999 marks the counters that are not printed.
    const server::ServerStats stats{1, 999, 999, 999, 2, 999, 999, 3, 4, 999, 8, 100, 9, 7, 6, 5, 10, 11, 999, 999};
    EXPECT_EQ(server::statistics_line(stats),
              "stopped: 1 connections, 2 games, 3 bundles relayed, 4 hash reports, 5 blob chunks, "
              "6 hash mismatches, 7 drops, 108 kicked, 9 timeouts, 10 delayed (sim), 11 stalls (sim)\n");
}

std::filesystem::path server_program() { return built_program("server/tarkeep_server"); }

TEST(ServerProgram, UsageBadValuesAndStartFailuresEndWithTheirStatus) {
    ServerHarness holder;  // keeps a port busy
    const std::string port = std::to_string(holder.server->bound_port());
    // The arguments, the exit code, and the whole output or its start where the system's error text follows.
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"--help"}, 0, server::kHelpText},
        {{"--quiet", "-h", "--port", "x"}, 0, server::kHelpText},
        {{"--version", "--help"}, 0, server::version_line()},
        {{"--prot", "5"}, 2, "unknown option: --prot\n" + std::string(server::kUsageText)},
        {{"--quiet", "--port"}, 2, "bad value for --port: (missing)\n" + std::string(server::kUsageText)},
        {{"--port", "80x"}, 2, "bad value for --port: 80x\n" + std::string(server::kUsageText)},
        {{"--deny-file", "/no/such/deny/file"}, 1, "cannot start: cannot read deny file /no/such/deny/file\n"},
        {{"--port", "0", "--motd", std::string(201, 'm')},
         1,
         "cannot start: message of the day longer than 200 bytes\n"},
        {{"--quiet", "--host", "no such host.invalid", "--port", "0"},
         1,
         "cannot start: cannot resolve no such host.invalid\n"},
        {{"--quiet", "--host", "127.0.0.1", "--port", port}, 1, "cannot start: bind 127.0.0.1:" + port + " (error "}};
    for (const auto& [arguments, exit_code, text] : cases) {
        const auto result = run_program(server_program(), arguments);
        EXPECT_EQ(result.exit_code, exit_code) << text;
        EXPECT_EQ(result.out.substr(0, text.ends_with("\n") ? std::string::npos : text.size()), text);
        EXPECT_EQ(result.err, "");
    }
}

// Runs `script` under bash with SERVER set to the server program. Scripts start the server
// in the background with its output in $out and then `WAIT_FOR_BANNER`, after which its
// stop handler is in place.
ProgramResult run_bash(const std::string& script) {
    return run_program("/bin/bash", {"-c", "SERVER='" + server_program().string() + "'; out=$(mktemp); " + script});
}
const std::string WAIT_FOR_BANNER =
    "pid=$!; i=0; while ! grep -q 'Ctrl+C' \"$out\" && [ $i -lt 400 ]; do sleep 0.025; i=$((i+1)); done; ";
const std::string WAIT_AND_PRINT = "wait $pid; rc=$?; cat \"$out\"; rm -f \"$out\"; ";

TEST(ServerProgram, InterruptTerminationOrHangUpStopsTheServerWithStatisticsAndALostReaderDoesNot) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "sends POSIX signals";
    for (const std::string signal : {"INT", "TERM", "HUP"}) {
        const auto result = run_bash("\"$SERVER\" --quiet --host 127.0.0.1 --port 0 >\"$out\" & " + WAIT_FOR_BANNER +
                                     "kill -" + signal + " $pid; " + WAIT_AND_PRINT + "exit $rc");
        EXPECT_EQ(result.exit_code, 0) << signal;
        const auto lines = words(result.out, '\n');
        ASSERT_EQ(lines.size(), 4u) << result.out;  // quiet: the banner, its note and the statistics only
        EXPECT_TRUE(lines[0].starts_with("Tarkeep relay server (sim 1 src ")) << lines[0];
        EXPECT_EQ(lines[1] + "\n", server::banner_note(false));
        EXPECT_EQ(lines[2], ZERO_STATISTICS);
    }
    // A reader that goes away does not end the server either.
    const auto result =
        run_bash("\"$SERVER\" --host 127.0.0.1 --port 0 --stop-after 1 | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(result.exit_code, 0) << result.err;
}

TEST(ServerProgram, DatedLinesAStatusBlockOnSigusr1AndADenyFileReloadedOnSighup) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "sends POSIX signals";
    const auto result = run_bash(
        "seen() { i=0; while ! grep -q \"$1\" \"$out\" && [ $i -lt 400 ]; do sleep 0.025; i=$((i+1)); done; }; "
        "deny=$(mktemp); echo 10.0.0.0/8 >\"$deny\"; \"$SERVER\" --log-date --host 127.0.0.1 --port 0 "
        "--deny-file \"$deny\" >\"$out\" & " +
        WAIT_FOR_BANNER +
        "kill -USR1 $pid; seen 'turned away'; printf '10.0.0.0/8\\n192.0.2.1\\n' >\"$deny\"; kill -HUP $pid; "
        "seen ': 2 entries'; kill -TERM $pid; " +
        WAIT_AND_PRINT + "rm -f \"$deny\"; exit $rc");
    EXPECT_EQ(result.exit_code, 0) << result.err;
    // A line stamped "YYYY-MM-DD HH:MM:SS " whose text starts with `start` and holds `part`.
    // (A scan, not std::regex: libstdc++'s regex trips -Wmaybe-uninitialized in the sanitizer build.)
    const auto has_dated_line = [&](const std::string& start, const std::string& part) {
        const std::string shape = "9999-99-99 99:99:99 ";
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            bool dated = line.size() >= shape.size();
            for (std::size_t i = 0; dated && i < shape.size(); ++i)
                dated = shape[i] == '9' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0 : line[i] == shape[i];
            if (dated && line.compare(shape.size(), start.size(), start) == 0 && line.find(part) != std::string::npos)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(has_dated_line("status: up 00:00:0", ", 0 clients")) << result.out;
    EXPECT_TRUE(has_dated_line("status: turned away since the start: 0 server full, 0 denied", "")) << result.out;
    EXPECT_TRUE(has_dated_line("deny list ", ": 2 entries")) << result.out;
    EXPECT_TRUE(result.out.ends_with(ZERO_STATISTICS + "\ndenied: 0 connections from the deny list\n")) << result.out;
}

TEST(ServerProgram, OutOfDescriptorsIsLoggedOnceAndDoesNotSpin) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "POSIX descriptor limits";
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers' runtime opens pipes to check memory before it reads it; with every
    // descriptor taken, those checks fail and report false type errors.
    GTEST_SKIP() << "the sanitizer runtime itself needs free descriptors";
#endif
    // 12 descriptors: the standard streams, the listener and a few clients; the rest wait.
    const auto result = run_bash(
        "(ulimit -n 12; exec \"$SERVER\" --host 127.0.0.1 --port 0 --stop-after 3 >\"$out\") & " + WAIT_FOR_BANNER +
        "port=$(sed -n 's/.*listening on 127.0.0.1:\\([0-9]*\\).*/\\1/p' \"$out\"); "
        "for n in $(seq 3 22); do eval \"exec $n<>/dev/tcp/127.0.0.1/$port\"; done; sleep 1; "
        "ticks=$(awk '{print $14 + $15}' /proc/$pid/stat); " +
        WAIT_AND_PRINT + "echo \"cpu $ticks\"; exit $rc");
    EXPECT_EQ(result.exit_code, 0) << result.err;
    std::size_t failures = 0;
    for (std::size_t at = 0; (at = result.out.find(" accept failed (error 24)\n", at)) != std::string::npos; ++at)
        ++failures;
    EXPECT_EQ(failures, 1u) << result.out;
    // A spinning loop would have used the whole second and more (100 ticks a second).
    EXPECT_LT(std::stoi(result.out.substr(result.out.rfind("cpu ") + 4)), 50) << result.out;
}

}  // namespace
}  // namespace tarkeep::test
