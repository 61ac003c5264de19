#include "server/line_simulator.h"

#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

TEST(LineSimulator, JitterNeverMovesAFrameBeforeAnEarlierOne) {
    server::LineSimulator jitter({40, 10, 0, 0, 0});  // the seed's low bit is forced on: 0 runs as 1
    jitter.seed();
    std::uint64_t last = 0;
    // The first xorshift draw from state 1 is 1082269761; a later frame never gets an earlier due time.
    EXPECT_EQ(jitter.due_time(last, 5000000), 5040000u + 1082269761u % 10001u);
    EXPECT_EQ(jitter.due_time(last, 4000000), 5040000u + 1082269761u % 10001u);
}

TEST(LineSimulator, StallsPickAClientAndScheduleTheNextFromTheSeededDraws) {
    server::LineSimulator sim({0, 0, 300, 200, 1});
    sim.seed();
    EXPECT_FALSE(sim.stall_due(1000000, 3));                                  // only schedules the first, at 1200000
    EXPECT_EQ(sim.stall_due(1200000, 3), std::optional<std::size_t>(1 % 3));  // and the next at 1300001
    // That one comes from the state stepped once: 6364136223846793005 + 1442695040888963407.
    EXPECT_EQ(sim.stall_due(1300001, 3), std::optional<std::size_t>(7806831264735756412ull % 3));
    EXPECT_EQ(sim.next_stall_us(), 1300001u + 100000 + 7806831264735756412ull % 200001);
}

TEST(LineSimulator, DelayedFramesAreHeldToTheBufferLimitInBothDirections) {
    ServerHarness harness([](ServerConfig& config) {
        config.line_sim = {100, 0, 0, 0, 1};
        config.byte_rate = {0, 0};  // the sender may flood; the limits on delayed bytes are under test
    });
    EXPECT_TRUE(harness.logged(
        "TEST MODE line simulation: latency 100 ms + jitter 0..0 ms per direction, stall 0 ms every ~0 ms"));
    auto sender = harness.connect();
    auto receiver = harness.connect();
    const TestClient::Pump ticking = [&] { harness.tick_ms(1); };  // as the 1 ms poll timeout gives
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
    harness.tick_ms(100);
    EXPECT_EQ(harness.stats().blob_chunks, 70u);
    EXPECT_TRUE(harness.logged("client 2 (Bo) disconnected: too slow (output buffer full)"));
    // The frames held back were queued once room was made, and come due in turn.
    harness.tick_ms(100);
    EXPECT_EQ(harness.stats().blob_chunks, chunks);
    EXPECT_EQ(ann.inbound_bytes, 0u);
    EXPECT_FALSE(harness.server->find_client(1)->closing);
}

}  // namespace
}  // namespace tarkeep::test
