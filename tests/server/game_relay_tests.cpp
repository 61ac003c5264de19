#include <gtest/gtest.h>

#include "game_table.h"

namespace tarkeep::test {
namespace {

TEST(RelayGame, BundlesAreRelayedToTheOthersWithTheSendersPlayerId) {
    GameTable table(3);
    table.start(2);
    table.drain();
    table[1].send(bundle(2, 7));
    table[1].send(bundle(3, 0));
    auto expected = bundle(2, 2);
    for (std::size_t i : {0u, 2u}) {
        EXPECT_EQ(table[i].next<net::TurnBundle>(table.pump()), expected);
        EXPECT_EQ(table[i].next<net::TurnBundle>(table.pump())->turn, 3u);
    }
    table[1].settle(table.pump());
    EXPECT_TRUE(table[1].inbox().empty());
    EXPECT_EQ(table.harness.server->stats().bundles_relayed, 2u);

    table[2].send(net::GameSignal{0, 12345});
    EXPECT_EQ(table[0].next<net::GameSignal>(table.pump()), (net::GameSignal{3, 12345}));
}

TEST(RelayGame, BundleOutOfTurnClosesThePlayerAndTheOthersHearOfTheDrop) {
    GameTable table(3);
    table.start(2);
    table.drain();
    table[2].send(bundle(3));
    const auto notice = table[2].next<net::Notice>(table.pump());
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->text, "bundle for turn 3, expected 2");
    EXPECT_TRUE(table[2].wait_closed(table.pump()));
    const net::PlayerDropped dropped{3, 1, "bundle for turn 3, expected 2"};
    EXPECT_EQ(table[0].next<net::PlayerDropped>(table.pump()), dropped);
    EXPECT_EQ(table[1].next<net::PlayerDropped>(table.pump()), dropped);
    const auto& stats = table.harness.server->stats();
    EXPECT_EQ(stats.protocol_kicks, 1u);
    EXPECT_EQ(stats.drops, 1u);
    EXPECT_EQ(stats.bundles_relayed, 0u);
    EXPECT_TRUE(table.harness.logged("game 1: player 3 (P3) dropped after turn 1: bundle for turn 3, expected 2"));
}

TEST(RelayGame, APlayerWhoDisconnectsAfterTurn57IsDroppedAfterTurn57) {
    GameTable table(2);
    table.start(2);
    table.drain();
    for (std::uint32_t turn = 2; turn <= 57; ++turn) table[1].send(bundle(turn));
    table[1].settle(table.pump());
    table[1].close();
    std::uint32_t last_seen = 0;
    std::optional<net::PlayerDropped> dropped;
    while (auto message = table[0].next_message(table.pump())) {
        if (auto* b = std::get_if<net::TurnBundle>(&*message)) {
            EXPECT_EQ(b->turn, last_seen == 0 ? 2 : last_seen + 1);
            last_seen = b->turn;
        } else if (auto* d = std::get_if<net::PlayerDropped>(&*message)) {
            dropped = *d;
            break;
        }
    }
    EXPECT_EQ(last_seen, 57u);
    EXPECT_EQ(dropped, (net::PlayerDropped{2, 57, "closed by peer"}));
}

TEST(RelayGame, LeavingARunningGameClosesTheClientAndTheLastOneClosesTheGame) {
    GameTable table(2);
    table.start(5);
    table.drain();
    table[0].send(net::LeaveGame{});
    EXPECT_TRUE(table[0].wait_closed(table.pump()));
    EXPECT_TRUE(table[0].inbox().empty());  // no notice for leaving
    EXPECT_EQ(table[1].next<net::PlayerDropped>(table.pump()), (net::PlayerDropped{1, 4, "left the game"}));
    EXPECT_FALSE(table.harness.logged("game 1 closed"));
    ASSERT_NE(table.harness.server->find_game(1), nullptr);

    table[1].close();
    table[1].settle(table.pump());
    EXPECT_TRUE(table.harness.logged("game 1 closed"));
    EXPECT_TRUE(table.harness.server->games().empty());
    EXPECT_EQ(table.harness.server->stats().drops, 2u);
}

TEST(RelayGame, HashMismatchesAreCountedPerDifferingReport) {
    GameTable table(3);
    table.start();
    table.drain();
    auto& stats = table.harness.server->stats();
    table[0].send(net::HashReport{0, 100, 0xAAAA});
    table[0].settle(table.pump());
    EXPECT_EQ(stats.hash_mismatches, 0u);
    table[1].send(net::HashReport{9, 100, 0xBBBB});
    table[1].settle(table.pump());
    EXPECT_EQ(stats.hash_mismatches, 1u);
    EXPECT_TRUE(table.harness.logged("game 1: hashes differ at tick 100"));
    table[2].send(net::HashReport{0, 100, 0xAAAA});
    table[2].settle(table.pump());
    EXPECT_EQ(stats.hash_mismatches, 2u);
    EXPECT_EQ(stats.hash_reports, 3u);
    // Player 2 corrects itself: its report is replaced and agrees with everyone.
    table[1].send(net::HashReport{0, 100, 0xAAAA});
    table[1].settle(table.pump());
    EXPECT_EQ(stats.hash_mismatches, 2u);

    table[0].settle(table.pump());
    auto& inbox = table[0].inbox();
    ASSERT_EQ(inbox.size(), 3u);
    EXPECT_EQ(std::get<net::HashReport>(inbox[0]), (net::HashReport{2, 100, 0xBBBB}));
    EXPECT_EQ(std::get<net::HashReport>(inbox[1]), (net::HashReport{3, 100, 0xAAAA}));
}

TEST(RelayGame, OnlyTheLatest64TicksAreKept) {
    GameTable table(2);
    table.start();
    table.drain();
    for (std::uint32_t tick = 1; tick <= 65; ++tick) table[0].send(net::HashReport{0, tick, tick});
    table[0].settle(table.pump());
    const auto& hashes = table.harness.server->find_game(1)->hashes_by_tick;
    ASSERT_EQ(hashes.size(), 64u);
    EXPECT_EQ(hashes.begin()->first, 2u);
    EXPECT_EQ(hashes.rbegin()->first, 65u);
    // Tick 1 is forgotten, so a late differing report for it is no mismatch; tick 2 is not.
    table[1].send(net::HashReport{0, 1, 999});
    table[1].send(net::HashReport{0, 2, 999});
    table[1].settle(table.pump());
    EXPECT_EQ(table.harness.server->stats().hash_mismatches, 1u);
    EXPECT_EQ(hashes.size(), 64u);
}

}  // namespace
}  // namespace tarkeep::test
