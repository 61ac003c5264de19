// What peers on an open port can do to the server (made-up ticks, never closing), the bounds that
// hold them, and the line simulation of test mode: the stall schedule, delayed frames held to the buffer limit.
#include <gtest/gtest.h>

#include <future>

#include "platform/clock.h"
#include "platform/net.h"
#include "server/closing_connections.h"
#include "server/line_simulator.h"
#include "server/log_queue.h"
#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

// A flood of made-up far ticks is kept out of the cross-check; of the real ones the latest 64
// stay, so a late differing report for tick 1 is no mismatch once 65 were reported.
TEST(RelayHostile, MadeUpTicksNeitherEvictRealOnesNorHideMismatches) {
    GameTable table(3);
    table.start();
    for (std::uint32_t i = 0; i < 64; ++i) table[2].send(net::HashReport{0, 0xFFFFFF00u + i, 1});
    table[2].settle(table.pump());
    for (std::uint32_t tick = 1; tick <= 65; ++tick) table[0].send(net::HashReport{0, tick, tick});
    table[0].settle(table.pump());
    for (const std::uint32_t tick : {1u, 2u}) table[1].send(net::HashReport{0, tick, 999});
    table[1].settle(table.pump());
    EXPECT_EQ(table.harness.stats().hash_mismatches, 1u);
    EXPECT_EQ(table.harness.server->find_game(1)->hashes_by_tick.size(), 64u);
    EXPECT_TRUE(table.harness.logged("game 1: hashes differ at tick 2"));
}

// Peers that never close cannot pile up draining connections: past the cap the oldest is closed.
TEST(ClosingConnections, TheOldestIsClosedWhenTooManyDrainAndAllWhenOutOfTime) {
    ServerHarness harness;  // its accepted connections, taken over once it polls no more
    std::vector<std::unique_ptr<TestClient>> peers;
    for (int i = 0; i < 3; ++i) peers.push_back(harness.connect());
    server::ClosingConnections closing(60000000, 2);
    for (std::uint32_t id = 1; id <= 3; ++id) closing.add(std::move(harness.server->find_client(id)->connection), 0);
    EXPECT_EQ(closing.size(), 2u);
    closing.service(59999999);
    EXPECT_EQ(closing.size(), 2u);
    closing.service(60000000);
    EXPECT_EQ(closing.size(), 0u);
}

TEST(LogQueue, ASlowStreamLosesCountedLines) {
    std::promise<void> entered, release;
    const std::shared_future<void> released = release.get_future().share();
    std::vector<std::string> written;
    server::LogQueue queue(
        [&](std::string_view line) {
            if (written.empty() && line == "a") entered.set_value(), released.wait();
            written.emplace_back(line);
            return true;
        },
        [](std::string_view text) { return std::string(text); }, 3);
    queue.push("a");
    entered.get_future().wait();  // the writer is stuck on "a"
    for (const char* text : {"b", "c", "d", "e", "f"}) queue.push(text);
    release.set_value();
    ASSERT_TRUE(queue.flush(60000));
    EXPECT_EQ(written, (std::vector<std::string>{"a", "b", "c", "d", "2 log lines dropped (output too slow)"}));
}

TEST(LineSimulation, JitterNeverReordersFramesAndStallsPickAClientAndScheduleTheNextFromTheSeededDraws) {
    server::LineSimulator jitter({40, 10, 0, 0, 0});  // the seed's low bit is forced on: 0 runs as 1
    jitter.seed();
    std::uint64_t last = 0;
    // The first xorshift draw from state 1 is 1082269761; a later frame never gets an earlier due time.
    EXPECT_EQ(jitter.due_time(last, 5000000), 5040000u + 1082269761u % 10001u);
    EXPECT_EQ(jitter.due_time(last, 4000000), 5040000u + 1082269761u % 10001u);

    server::LineSimulator sim({0, 0, 300, 200, 1});
    sim.seed();
    EXPECT_FALSE(sim.stall_due(1000000, 3));                                  // only schedules the first, at 1200000
    EXPECT_EQ(sim.stall_due(1200000, 3), std::optional<std::size_t>(1 % 3));  // and the next at 1300001
    // That one comes from the state stepped once: 6364136223846793005 + 1442695040888963407.
    EXPECT_EQ(sim.stall_due(1300001, 3), std::optional<std::size_t>(7806831264735756412ull % 3));
    EXPECT_EQ(sim.next_stall_us(), 1300001u + 100000 + 7806831264735756412ull % 200001);
}

TEST(LineSimulation, DelayedFramesAreHeldToTheBufferLimitInBothDirections) {
    ServerHarness harness([](ServerConfig& config) {
        config.line_sim = {100, 0, 0, 0, 1};
        config.byte_rate = {0, 0};  // the sender may flood; the limits on delayed bytes are under test
    });
    EXPECT_TRUE(harness.logged(
        "TEST MODE line simulation: latency 100 ms + jitter 0..0 ms per direction, stall 0 ms every ~0 ms"));
    auto sender = harness.connect();
    auto receiver = harness.connect();
    const TestClient::Pump ticking = [&] {  // one millisecond per step, as the 1 ms poll timeout gives
        harness.advance_ms(1);
        harness.pump();
    };
    sender->send(net::Hello{net::kHelloMagic, 2, 0, 0, "Ann"});
    sender->send(game_request());
    ASSERT_TRUE(skip_to<net::LobbyState>(*sender, ticking));
    receiver->send(net::Hello{net::kHelloMagic, 2, 0, 0, "Bo"});
    receiver->send(net::JoinGame{1});
    ASSERT_TRUE(skip_to<net::LobbyState>(*receiver, ticking));

    constexpr std::uint32_t chunk = 60000, chunks = 75;  // 4.5 MB, more than the 4 MiB limit
    for (std::uint32_t i = 0; i < chunks; ++i)
        sender->send(net::BlobChunk{0, chunk * chunks, chunk * i, 1, net::Bytes(chunk, 7)});
    sender->settle(harness.pumper(), 200);  // all arrive at the same simulated moment
    const server::LineQueues& ann = harness.server->find_client(1)->line;
    const std::uint64_t limit = harness.server->config().connection_buffer_limit;
    EXPECT_GE(ann.inbound_bytes, limit);  // full: the rest waits in the input buffer
    EXPECT_LT(ann.inbound_bytes, limit + chunk + 100);
    ASSERT_EQ(harness.stats().blob_chunks, 0u);

    // The first 70 come due; relaying them all to Bo would hold more than the limit
    // for him, so he is dropped as soon as his queue would overflow.
    harness.advance_ms(100);
    harness.pump();
    EXPECT_EQ(harness.stats().blob_chunks, 70u);
    EXPECT_TRUE(harness.logged("client 2 (Bo) disconnected: too slow (output buffer full)"));
    // The frames held back were queued once room was made, and come due in turn.
    harness.advance_ms(100);
    harness.pump();
    EXPECT_EQ(harness.stats().blob_chunks, chunks);
    EXPECT_EQ(ann.inbound_bytes, 0u);
    EXPECT_FALSE(harness.server->find_client(1)->closing);
}

}  // namespace
}  // namespace tarkeep::test
