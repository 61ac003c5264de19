#include <gtest/gtest.h>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

TEST(RelayTimers, SilentClientIsClosedJustAfterTheHandshakeTimeout) {
    ServerHarness harness;
    auto client = harness.connect();
    harness.advance_ms(5000);
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->clients().size(), 1u) << "exactly 5000 ms is still allowed";
    harness.now_us += 1;
    const auto notice = client->next<net::Notice>(harness.pumper());
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->text, "handshake timeout");
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_EQ(harness.server->stats().timeouts, 1u);
    EXPECT_TRUE(harness.logged("client 1 () disconnected: handshake timeout"));
}

TEST(RelayTimers, PingsMeasureTheRoundTripFromTheServerClock) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    harness.advance_ms(1001);
    const auto ping = client->next<net::Ping>(harness.pumper());
    ASSERT_TRUE(ping);
    EXPECT_EQ(ping->sequence, 1u);
    EXPECT_EQ(ping->time, harness.now_us);
    harness.advance_ms(37);
    client->send(net::Pong{ping->sequence, 12345});  // the echoed time field is not trusted
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->find_client(1)->round_trip_ms, 37);

    // A pong for an older ping changes nothing.
    harness.advance_ms(1001);
    const auto second = client->next<net::Ping>(harness.pumper());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->sequence, 2u);
    harness.advance_ms(5);
    client->send(net::Pong{1, 0});
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->find_client(1)->round_trip_ms, 37);
}

TEST(RelayTimers, RoundTripIsCappedAtOneMinute) {
    server::ServerConfig config;
    config.idle_timeout_ms = 1000000;
    ServerHarness harness(config);
    auto client = harness.join("Ann");
    harness.advance_ms(1001);
    const auto ping = client->next<net::Ping>(harness.pumper());
    ASSERT_TRUE(ping);
    harness.advance_ms(70000);
    client->send(net::Pong{ping->sequence, 0});
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->find_client(1)->round_trip_ms, 60000);
}

TEST(RelayTimers, ClientSilentAfterTheHandshakeTimesOut) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    // Activity resets the idle clock.
    harness.advance_ms(15000);
    client->send(net::Ping{1, 0});
    client->settle(harness.pumper());
    harness.advance_ms(15000);
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->clients().size(), 1u);
    harness.advance_ms(5001);
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    ASSERT_FALSE(client->inbox().empty());
    EXPECT_EQ(std::get<net::Notice>(client->inbox().back()).text, "timeout");
    EXPECT_EQ(harness.server->stats().timeouts, 1u);
}

}  // namespace
}  // namespace tarkeep::test

namespace tarkeep::test {
namespace {

TEST(RelayTimers, RunningGamesGetAPingTableOfTheirLivePlayers) {
    ServerHarness harness;
    auto ann = harness.join("Ann");
    auto bo = harness.join("Bo");
    auto cy = harness.join("Cy");
    server::Game game;
    game.id = 1;
    game.running = true;
    game.members = {2, 1, 3};
    harness.server->games().emplace(1, game);
    const std::uint8_t player_of[] = {0, 2, 1, 3};
    for (std::uint32_t id = 1; id <= 3; ++id) {
        auto& session = *harness.server->find_client(id);
        session.game_id = 1;
        session.player_id = player_of[id];
        session.round_trip_ms = static_cast<std::uint16_t>(10 * id);
    }
    harness.server->find_client(3)->closing = true;  // leaving: no row, no table
    harness.advance_ms(1001);
    EXPECT_TRUE(ann->next<net::Ping>(harness.pumper()));
    const auto table = ann->next<net::PingTable>(harness.pumper());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->entries, (std::vector<net::PingEntry>{{1, 20}, {2, 10}}));
    EXPECT_TRUE(bo->next<net::Ping>(harness.pumper()));
    EXPECT_EQ(bo->next<net::PingTable>(harness.pumper()), table);
    EXPECT_TRUE(cy->wait_closed(harness.pumper()));
    const auto dropped = ann->next<net::PlayerDropped>(harness.pumper());
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->player_id, 3);

    // The next table waits a full interval.
    harness.advance_ms(999);
    ann->settle(harness.pumper());
    EXPECT_TRUE(ann->inbox().empty());
}

}  // namespace
}  // namespace tarkeep::test
