#include "server_harness.h"

namespace tarkeep::test {
namespace {

// A flood of made-up far ticks is kept out of the cross-check; of the real ones the latest 64
// stay, so a late differing report for tick 1 is no mismatch once 65 were reported.
TEST(HashCrossCheck, MadeUpTicksNeitherEvictRealOnesNorHideMismatches) {
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

}  // namespace
}  // namespace tarkeep::test
