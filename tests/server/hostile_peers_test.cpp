// What peers on an open port can do to the server: squat, blind, flood, vanish together.
#include <gtest/gtest.h>

#include <future>

#include "platform/shell.h"
#include "server/log_queue.h"
#include "server/output_queue.h"
#include "server_harness.h"
#include "tests/support/program_run.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

void append_frame(net::Bytes& bytes, const net::Message& message) {
    const net::Bytes payload = net::encode_message(message);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(payload.size() >> (8 * i)));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
}

TEST(RelayHostile, WhenFullASilentConnectionOlderThanASecondGivesWay) {
    ServerConfig config;
    config.max_clients = 2;
    ServerHarness h(config);
    auto silent = h.connect();
    auto named = h.join("Ann");
    auto early = h.connect();
    EXPECT_EQ(early->next<net::Refused>(h.pumper()), net::Refused{"server full"});
    h.advance_ms(1001);
    auto late = h.connect();
    EXPECT_EQ(silent->next<net::Notice>(h.pumper()), net::Notice{"handshake timeout"});
    late->send(net::Hello{net::kHelloMagic, 2, 0, 0, "Bo"});
    EXPECT_TRUE(late->next<net::Welcome>(h.pumper()));
    EXPECT_EQ(std::make_tuple(h.stats().timeouts, h.stats().refused, h.server->clients().size()),
              std::make_tuple(1u, 1u, 2u));
}

TEST(RelayHostile, PlayersClosingInOneStepAreEachCountedAsDropped) {
    GameTable table(4);
    table.start();
    table.drain();
    for (auto& player : table.players) player->close();
    for (int i = 0; i < 50 && !table.harness.server->clients().empty(); ++i) table.harness.pump();
    EXPECT_EQ(table.stats().drops, 4u);
    EXPECT_TRUE(table.harness.server->games().empty());
}

TEST(RelayHostile, MadeUpTicksNeitherEvictRealOnesNorHideMismatches) {
    GameTable table(3);
    table.start();
    table.drain();
    for (std::uint32_t i = 0; i < 64; ++i) table[2].send(net::HashReport{0, 0xFFFFFF00u + i, 1});
    table[0].send(net::HashReport{0, 100, 7});
    table[1].send(net::HashReport{0, 100, 8});
    for (int i = 0; i < 50 && table.stats().hash_reports < 66; ++i) table.harness.pump();
    EXPECT_EQ(table.stats().hash_mismatches, 1u);
    EXPECT_TRUE(table.harness.logged("game 1: hashes differ at tick 100"));
}

TEST(RelayHostile, InvalidFrameBehindDelayedOnesIsAKickUnderLineSimulationToo) {
    ServerConfig config;
    config.line_sim.latency_ms = 50;
    config.connection_buffer_limit = 256;  // the delay queue fills before the bad length is cut
    ServerHarness h(config);
    auto client = h.connect();
    net::Bytes bytes;
    append_frame(bytes, net::Hello{net::kHelloMagic, 2, 0, 0, "Ann"});
    for (std::uint32_t i = 0; i < 20; ++i) append_frame(bytes, net::Pong{i, 0});
    bytes.insert(bytes.end(), {0x70, 0x11, 0x01, 0x00});  // 70000
    client->send_raw(bytes);
    client->settle(h.pumper());
    h.advance_ms(100);
    client->settle(h.pumper());
    EXPECT_TRUE(h.logged("client 1 (Ann) disconnected: invalid frame length 70000"));
    EXPECT_EQ(h.stats().protocol_kicks, 1u);
}

TEST(RelayHostile, AClientClosedWithUnreadInputHearsItsNoticeAndAnOrderlyEnd) {
    ServerConfig config;
    config.connection_buffer_limit = 1000;  // reading pauses with most of the frame unread
    ServerHarness h(config);
    auto client = h.connect();
    net::Bytes partial(50004, 0);
    partial[0] = 0x60, partial[1] = 0xEA;  // a 60000-byte frame, never completed
    client->send_raw(partial);
    client->settle(h.pumper());
    h.advance_ms(5001);
    EXPECT_EQ(client->next<net::Notice>(h.pumper()), net::Notice{"handshake timeout"});
    EXPECT_TRUE(client->wait_closed(h.pumper()));
    EXPECT_FALSE(client->reset());
    EXPECT_EQ(h.server->closing_connections().size(), 1u);  // drains until the peer closes
    client->close();
    for (int i = 0; i < 50 && h.server->closing_connections().size() != 0; ++i) h.pump();
    EXPECT_EQ(h.server->closing_connections().size(), 0u);
}

TEST(RelayHostile, FortySimultaneousConnectsAreAllAccepted) {
    ServerConfig config;
    config.max_clients_per_address = 64;
    ServerHarness h(config);
    std::vector<std::unique_ptr<TestClient>> clients;  // none accepted while they connect
    for (int i = 0; i < 40; ++i) clients.push_back(std::make_unique<TestClient>(h.server->bound_port()));
    for (int i = 0; i < 20 && h.server->clients().size() < 40; ++i) h.pump();
    EXPECT_EQ(h.server->clients().size(), 40u);
}

TEST(LogQueue, ASlowStreamLosesCountedLinesAndAGoneOneEndsLogging) {
    std::promise<void> entered, release;
    const std::shared_future<void> released = release.get_future().share();
    std::vector<std::string> written;
    const auto plain = [](std::string_view text) { return std::string(text); };
    server::LogQueue queue(
        [&](std::string_view line) {
            if (written.empty() && line == "a") entered.set_value(), released.wait();
            written.emplace_back(line);
            return true;
        },
        plain, 3);
    queue.push("a");
    entered.get_future().wait();  // the writer is stuck on "a"
    for (const char* text : {"b", "c", "d", "e", "f"}) queue.push(text);
    EXPECT_EQ(queue.dropped(), 2u);
    release.set_value();
    ASSERT_TRUE(queue.flush(60000));
    EXPECT_EQ(written, (std::vector<std::string>{"a", "b", "c", "d", "2 log lines dropped (output too slow)"}));

    int calls = 0;
    server::LogQueue gone([&](std::string_view) { return ++calls, false; }, plain, 8);
    gone.push("x");
    gone.flush(60000);
    gone.push("y");
    EXPECT_TRUE(gone.flush(60000) && gone.stream_gone());
    EXPECT_EQ(calls, 1);
}

// Runs `script` under bash with SERVER set to the server program.
ProgramResult run_bash(const std::string& script) {
    return run_program("/bin/bash",
                       {"-c", "SERVER='" + built_program("server/tarkeep_server").string() + "'; " + script});
}

TEST(ServerProgram, AReaderThatGoesAwayDoesNotEndTheServer) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "POSIX pipes and signals";
    const auto result =
        run_bash("\"$SERVER\" --host 127.0.0.1 --port 0 --stop-after 1 | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(result.exit_code, 0) << result.err;
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
        "out=$(mktemp); (ulimit -n 12; exec \"$SERVER\" --host 127.0.0.1 --port 0 --stop-after 3 >\"$out\") & "
        "pid=$!; i=0; while ! grep -q 'Ctrl+C' \"$out\" && [ $i -lt 400 ]; do sleep 0.025; i=$((i+1)); done; "
        "port=$(sed -n 's/.*listening on 127.0.0.1:\\([0-9]*\\).*/\\1/p' \"$out\"); "
        "for n in $(seq 3 22); do eval \"exec $n<>/dev/tcp/127.0.0.1/$port\"; done; sleep 1; "
        "ticks=$(awk '{print $14 + $15}' /proc/$pid/stat); wait $pid; rc=$?; cat \"$out\"; rm -f \"$out\"; "
        "echo \"cpu $ticks\"; exit $rc");
    EXPECT_EQ(result.exit_code, 0) << result.err;
    std::size_t failures = 0;
    for (std::size_t at = 0; (at = result.out.find(" accept failed (error 24)\n", at)) != std::string::npos; ++at)
        ++failures;
    EXPECT_EQ(failures, 1u) << result.out;
    // A spinning loop would have used the whole second and more (100 ticks a second).
    const auto cpu = result.out.substr(result.out.rfind("cpu ") + 4);
    EXPECT_LT(std::stoi(cpu), 50) << result.out;
}

}  // namespace
}  // namespace tarkeep::test

namespace tarkeep::test {
namespace {

TEST(OutputQueue, ReceiversShareOneFrameAndEachOwesOnlyItsOwnRest) {
    const server::SharedFrame frame = server::make_frame(net::Bytes{1, 2, 3});
    EXPECT_EQ(*frame, (net::Bytes{3, 0, 0, 0, 1, 2, 3}));
    server::OutputQueue slow, fast;
    ASSERT_TRUE(slow.append(frame, 14) && slow.append(frame, 14) && fast.append(frame, 14));
    EXPECT_EQ(frame.use_count(), 4);  // no copies
    EXPECT_FALSE(slow.append(frame, 20)) << "21 bytes owed would pass the limit";
    fast.mark_sent(7);
    EXPECT_EQ(std::make_tuple(frame.use_count(), fast.unsent_size(), slow.unsent_size()),
              std::make_tuple(3l, 0ul, 14ul));
    slow.mark_sent(2);
    std::array<std::span<const std::uint8_t>, 4> parts;
    ASSERT_EQ(slow.gather(parts), 2u);
    EXPECT_EQ(net::Bytes(parts[0].begin(), parts[0].end()), (net::Bytes{0, 0, 1, 2, 3}));
    EXPECT_EQ(parts[1].size(), 7u);
    slow.mark_sent(9);  // across the frame boundary
    ASSERT_EQ(slow.gather(parts), 1u);
    EXPECT_EQ(net::Bytes(parts[0].begin(), parts[0].end()), (net::Bytes{1, 2, 3}));
    EXPECT_EQ(slow.unsent_size(), 3u);
}

}  // namespace
}  // namespace tarkeep::test
