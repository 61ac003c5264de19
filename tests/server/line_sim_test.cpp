// The line simulation of test mode: delays, jitter and stalls, and the server under them.
#include <gtest/gtest.h>

#include "server_harness.h"
#include "server/line_simulator.h"

namespace tarkeep::test {
namespace {

server::ServerConfig simulated(std::uint32_t latency_ms, std::uint32_t jitter_ms = 0, std::uint32_t hold_ms = 0,
                               std::uint32_t hold_every_ms = 0) {
    server::ServerConfig config;
    config.line_sim = {latency_ms, jitter_ms, hold_ms, hold_every_ms, 1};
    return config;
}

// One millisecond of simulated time per poll step, as the 1 ms poll timeout gives.
TestClient::Pump ticking(ServerHarness& harness) {
    return [&harness] {
        harness.advance_ms(1);
        harness.pump();
    };
}

std::unique_ptr<TestClient> join_slowly(ServerHarness& harness, const std::string& name) {
    auto client = harness.connect();
    client->send(net::Hello{net::kHelloMagic, 2, 0, 0, name});
    EXPECT_TRUE(client->next<net::Welcome>(ticking(harness)));
    return client;
}

TEST(LineSimulation, LatencyDelaysBothDirections) {
    ServerHarness harness(simulated(100));
    EXPECT_TRUE(harness.logged(
        "TEST MODE line simulation: latency 100 ms + jitter 0..0 ms per direction, stall 0 ms every ~0 ms"));
    auto client = join_slowly(harness, "Ann");
    const auto ping = skip_to<net::Ping>(*client, ticking(harness), 5);
    ASSERT_TRUE(ping);
    client->send(net::Pong{ping->sequence, ping->time});
    auto& session = *harness.server->find_client(1);
    for (int i = 0; i < 400 && session.round_trip_ms == 0; ++i) ticking(harness)();
    // 100 ms each way, plus at most a step or two of the 1 ms poll.
    EXPECT_GE(session.round_trip_ms, 200);
    EXPECT_LE(session.round_trip_ms, 203);
    EXPECT_GT(harness.stats().sim_delayed, 0u);
}

TEST(LineSimulation, OnlyADelayOrAStallPairTurnsTheSimulationOn) {
    // latency, jitter, hold, hold every: active?
    const std::pair<server::LineSimConfig, bool> cases[] = {{{0, 0, 100, 0, 1}, false},
                                                            {{0, 0, 100, 1000, 1}, true},
                                                            {{0, 1, 0, 0, 1}, true},
                                                            {{1, 0, 0, 0, 1}, true},
                                                            {{0, 0, 0, 1000, 1}, false}};
    for (const auto& [sim, active] : cases) EXPECT_EQ(sim.active(), active) << sim.hold_ms << " " << sim.hold_every_ms;

    ServerHarness harness(simulated(0, 0, 500, 0));  // a hold without its period
    EXPECT_FALSE(harness.logged_starting("TEST MODE"));
    auto client = harness.join("Ann");  // answered without the clock moving
    client->send(net::Ping{1, 2});
    EXPECT_TRUE(client->next<net::Pong>(harness.pumper()));
    EXPECT_EQ(harness.stats().sim_delayed, 0u);
}

TEST(LineSimulation, SameSeedGivesTheSameDueTimesAndStalls) {
    const auto run = [](std::uint64_t seed) {
        server::LineSimulator sim({40, 25, 300, 200, seed});
        sim.seed();
        std::vector<std::uint64_t> events;
        std::uint64_t last_in = 0, last_out = 0;
        for (std::uint64_t now = 1000000; now < 3000000; now += 7000) {
            const std::uint64_t in = sim.due_time(last_in, now);
            const std::uint64_t out = sim.due_time(last_out, now + 50);
            EXPECT_GE(in, now + 40000);
            EXPECT_LE(in, std::max(now + 65000, last_in));
            events.insert(events.end(), {in, out});
            if (auto stalled = sim.stall_due(now, 5)) events.insert(events.end(), {now, *stalled});
        }
        return events;
    };
    const auto first = run(7);
    EXPECT_EQ(first, run(7));
    EXPECT_NE(first, run(8));
    // The seed's low bit is forced on: 6 and 7 are the same generator.
    EXPECT_EQ(first, run(6));
}

TEST(LineSimulation, DueTimesFollowTheXorshiftDrawsAndStallsPickAClientAndScheduleTheNext) {
    server::LineSimulator jitter({0, 10, 0, 0, 1});
    jitter.seed();
    std::uint64_t last = 0;
    // First xorshift draw from state 1 is 1082269761; 1082269761 mod 10001 = 2505.
    EXPECT_EQ(jitter.due_time(last, 5000000), 5000000u + 1082269761u % 10001u);
    EXPECT_EQ(jitter.state(), 1082269761u);
    // A later frame never gets an earlier due time than the one before it.
    EXPECT_EQ(jitter.due_time(last, 4000000), 5000000u + 1082269761u % 10001u);

    server::LineSimulator sim({0, 0, 300, 200, 1});
    sim.seed();
    EXPECT_FALSE(sim.stall_due(1000000, 3));  // schedules only
    EXPECT_EQ(sim.next_stall_us(), 1200000u);
    EXPECT_FALSE(sim.stall_due(1199999, 3));
    EXPECT_EQ(sim.stall_due(1200000, 3), std::optional<std::size_t>(1 % 3));
    EXPECT_EQ(sim.next_stall_us(), 1200000u + 100000 + 1 % 200001);
    EXPECT_EQ(sim.state(), 6364136223846793005ull + 1442695040888963407ull);
    EXPECT_FALSE(sim.stall_due(1300000, 0));  // nobody to stall
    // The next stall comes from the stepped state.
    EXPECT_EQ(sim.stall_due(1300001, 3), std::optional<std::size_t>(7806831264735756412ull % 3));
    EXPECT_EQ(sim.next_stall_us(), 1300001u + 100000 + 7806831264735756412ull % 200001);
}

TEST(LineSimulation, AStalledClientIsStillReadAndHandledInOrderAfterwards) {
    ServerHarness harness(simulated(0, 0, 500, 1000));
    auto client = harness.join("Ann");
    auto& stats = harness.stats();
    harness.advance_ms(1000);
    harness.pump();
    ASSERT_EQ(stats.sim_stalls, 1u);
    const std::uint64_t frames_before = stats.frames_received;
    for (std::uint32_t sequence = 1; sequence <= 5; ++sequence) client->send(net::Ping{sequence, sequence});
    client->settle(harness.pumper(), 20);
    EXPECT_EQ(stats.frames_received, frames_before + 5);
    EXPECT_TRUE(client->inbox().empty());

    harness.advance_ms(500);
    client->settle(harness.pumper(), 5);
    std::vector<std::uint32_t> answered;
    for (const auto& message : client->inbox())
        if (const auto* pong = std::get_if<net::Pong>(&message)) answered.push_back(pong->sequence);
    EXPECT_EQ(answered, (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
}

TEST(LineSimulation, DelayedFramesAreHeldToTheBufferLimitInBothDirections) {
    server::ServerConfig config = simulated(100);
    config.byte_rate = {0, 0};  // the sender may flood; the limits on delayed bytes are under test
    ServerHarness harness(config);
    auto sender = join_slowly(harness, "Ann");
    auto receiver = join_slowly(harness, "Bo");
    sender->send(game_request());
    ASSERT_TRUE(skip_to<net::LobbyState>(*sender, ticking(harness)));
    receiver->send(net::JoinGame{1});
    ASSERT_TRUE(skip_to<net::LobbyState>(*receiver, ticking(harness)));

    constexpr std::uint32_t chunk = 60000, chunks = 75;  // 4.5 MB, more than the 4 MiB limit
    for (std::uint32_t i = 0; i < chunks; ++i)
        sender->send(net::BlobChunk{0, chunk * chunks, chunk * i, 1, net::Bytes(chunk, 7)});
    sender->settle(harness.pumper(), 200);  // all arrive at the same simulated moment
    const server::LineQueues& ann = harness.server->find_client(1)->line;
    const std::uint64_t limit = config.connection_buffer_limit;
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

TEST(LineSimulation, RefusalsReachTheClientBeforeItIsClosed) {
    const std::pair<net::Hello, std::string> cases[] = {
        {net::Hello{net::kHelloMagic, 1, 0, 0, "Ann"}, "protocol version 1 not supported (server: 2)"},
        {net::Hello{net::kHelloMagic, 2, 0, 0, "  "}, "empty player name"},
    };
    for (const auto& [hello, text] : cases) {
        ServerHarness harness(simulated(50, 10));
        auto client = harness.connect();
        client->send(hello);
        EXPECT_TRUE(client->wait_closed(ticking(harness), 200));
        EXPECT_TRUE(client->inbox() == std::deque<net::Message>{net::Refused{text}}) << text;
    }
}

}  // namespace
}  // namespace tarkeep::test
