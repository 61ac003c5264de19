// Running games: bundles, signals, hash reports and players who leave or are dropped.
#include <gtest/gtest.h>

#include <numeric>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

TEST(RelayGame, BundlesAreRelayedToTheOthersWithTheSendersPlayerId) {
    RunningGame table(3);
    table[1].send(bundle(2, 7));
    table[1].send(bundle(3, 0));
    for (std::size_t i : {0u, 2u}) {
        EXPECT_EQ(table[i].next<net::TurnBundle>(table.pump()), bundle(2, 2));
        EXPECT_EQ(table[i].next<net::TurnBundle>(table.pump()), bundle(3, 2));
    }
    table[1].settle(table.pump());
    EXPECT_TRUE(table[1].inbox().empty());
    EXPECT_EQ(table.stats().bundles_relayed, 2u);

    table[2].send(net::GameSignal{0, 12345});
    EXPECT_EQ(table[0].next<net::GameSignal>(table.pump()), (net::GameSignal{3, 12345}));
}

TEST(RelayGame, BundleOutOfTurnClosesThePlayerAndTheOthersHearOfTheDrop) {
    RunningGame table(3);
    table[2].send(bundle(3));
    EXPECT_EQ(table[2].next<net::Notice>(table.pump()), net::Notice{"bundle for turn 3, expected 2"});
    EXPECT_TRUE(table[2].wait_closed(table.pump()));
    const net::PlayerDropped dropped{3, 1, "bundle for turn 3, expected 2"};
    EXPECT_EQ(table[0].next<net::PlayerDropped>(table.pump()), dropped);
    EXPECT_EQ(table[1].next<net::PlayerDropped>(table.pump()), dropped);
    EXPECT_EQ(std::tuple(table.stats().protocol_kicks, table.stats().drops, table.stats().bundles_relayed),
              std::tuple(1u, 1u, 0u));
    EXPECT_TRUE(table.harness.logged("game 1: player 3 (P3) dropped after turn 1: bundle for turn 3, expected 2"));
}

TEST(RelayGame, APlayerWhoDisconnectsAfterTurn57IsDroppedAfterTurn57) {
    RunningGame table(2);
    for (std::uint32_t turn = 2; turn <= 57; ++turn) table[1].send(bundle(turn));
    table[1].settle(table.pump());
    table[1].close();
    std::vector<std::uint32_t> turns_seen, expected_turns(56);
    std::iota(expected_turns.begin(), expected_turns.end(), 2u);
    std::optional<net::PlayerDropped> dropped;
    while (!dropped) {
        auto message = table[0].next_message(table.pump());
        if (!message) break;
        if (auto* b = std::get_if<net::TurnBundle>(&*message)) turns_seen.push_back(b->turn);
        if (auto* d = std::get_if<net::PlayerDropped>(&*message)) dropped = *d;
    }
    EXPECT_EQ(turns_seen, expected_turns);
    EXPECT_EQ(dropped, (net::PlayerDropped{2, 57, "closed by peer"}));
}

TEST(RelayGame, LeavingARunningGameClosesTheClientAndTheLastOneClosesTheGame) {
    RunningGame table(2, 5);
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
    EXPECT_EQ(table.stats().drops, 2u);
}

TEST(RelayGame, HashMismatchesAreCountedPerDifferingReport) {
    RunningGame table(3);
    // Player, its hash for tick 100, mismatches counted after it; player 2 then corrects itself.
    const std::tuple<std::size_t, std::uint64_t, std::uint64_t> reports[] = {
        {0, 0xAAAA, 0}, {1, 0xBBBB, 1}, {2, 0xAAAA, 2}, {1, 0xAAAA, 2}};
    for (const auto& [player, hash, mismatches] : reports) {
        table[player].send(net::HashReport{9, 100, hash});
        table[player].settle(table.pump());
        EXPECT_EQ(table.stats().hash_mismatches, mismatches) << "after player " << player + 1;
    }
    EXPECT_TRUE(table.harness.logged("game 1: hashes differ at tick 100"));
    EXPECT_EQ(table.stats().hash_reports, 4u);
    table[0].settle(table.pump());
    const std::deque<net::Message> relayed = {net::HashReport{2, 100, 0xBBBB}, net::HashReport{3, 100, 0xAAAA},
                                              net::HashReport{2, 100, 0xAAAA}};
    EXPECT_TRUE(table[0].inbox() == relayed);
}

TEST(RelayGame, OnlyTheLatest64TicksAreKept) {
    RunningGame table(2);
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
    EXPECT_EQ(table.stats().hash_mismatches, 1u);
    EXPECT_EQ(hashes.size(), 64u);
}

}  // namespace
}  // namespace tarkeep::test
