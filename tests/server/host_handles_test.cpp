// What a host sees of a running server: folded floods, the status block, the deny list.
#include <fstream>
#include <utility>

#include "server/deny_list.h"
#include "server/log_folding.h"
#include "server/status_report.h"
#include "server_harness.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::test {
namespace {

TEST(LogFolding, AFloodOfConnectsInOneSecondIsFoldedAtTheNextAndEveryConnectionIsCounted) {
    ServerHarness harness(
        [](server::ServerConfig& config) { config.max_clients = config.max_clients_per_address = 2000; });
    for (int i = 0; i < 1000; ++i) harness.connect()->close();
    for (int i = 0; i < 20; ++i) harness.pump();  // every close seen, all within the same second
    EXPECT_EQ(tally(harness.log, " connected from "), Tally(10, 0));
    harness.tick_ms(1000);
    EXPECT_EQ(harness.stats().connections, 1000u);
    // Ten of each kind told, then the eleventh standing for itself and the 989 more.
    for (const char* marker : {" connected from 127.0.0.1:", " () disconnected: closed by peer"})
        EXPECT_EQ(tally(harness.log, marker), Tally(11, 989)) << marker;
}

TEST(LogFolding, NumbersAddressesAndPortsAreOneMarkAndTheRestStays) {
    const std::pair<const char*, const char*> cases[] = {
        {"client 17 from 203.0.113.5:51234 connected", "client # from # connected"},
        {"turn 3. v1.2:x 9", "turn #. v#:x #"},
        {":5 .7 a.b", ":# .# a.b"},
        {"refused 10.0.0.1:2", "refused #"},
    };
    for (const auto& [line, kind] : cases) EXPECT_EQ(server::log_line_kind(line), kind) << line;
}

TEST(LogFolding, ALoneHeldLineComesAsItIs) {
    server::LogFolding folding;
    for (int i = 0; i < 11; ++i) folding.admit("refused 10.0.0." + std::to_string(i) + ":1 (full)", 5'000'000);
    EXPECT_TRUE(folding.take_folded(5'999'999).empty());
    EXPECT_EQ(folding.take_folded(6'000'000), std::vector<std::string>{"refused 10.0.0.10:1 (full)"});
}

TEST(StatusBlock, TellsUptimeClientsEachGameAndWhatTheLimitsTurnedAway) {
    GameTable table(2);
    table.start();
    table[0].send(bundle(2));
    auto lobby_host = table.harness.join("P3");
    lobby_host->send(net::CreateGame{"Spare", "Hills", 1, 4, ""});
    EXPECT_TRUE(skip_to<net::LobbyState>(*lobby_host, table.pump()));
    const auto greeting = table.harness.connect();
    server::ServerStats& stats = table.harness.server->stats();
    std::tie(stats.refused, stats.denied, stats.rate_limit_kicks, stats.protocol_kicks, stats.timeouts,
             stats.too_slow) = std::tuple(1, 2, 3, 4, 5, 6);
    table.harness.log.clear();
    table.harness.server->log_status();
    EXPECT_EQ(table.harness.log,
              (std::vector<std::string>{
                  "status: up 00:00:00, 4 clients (1 greeting, 0 in the lobby, 3 in games), 2 games",
                  "status: game 1 'Duel' on Riverlands: 2 of 8 players, running, turn 2, " +
                      std::to_string(framed({bundle(2, 1)}).size()) + " bytes relayed",
                  "status: game 2 'Spare' on Hills: 1 of 4 players, in the lobby, no turn yet, 0 bytes relayed",
                  "status: turned away since the start: 1 server full, 2 denied, 3 rate limit, 4 protocol, "
                  "5 timed out, 6 too slow"}));
    EXPECT_EQ(server::uptime_text(3'723'999'999) + " " + server::uptime_text(90'061'000'000), "01:02:03 1d 01:01:01");
}

TEST(StatusBlock, ComesEveryFewSecondsWhenAskedTo) {
    ServerHarness harness([](server::ServerConfig& config) { config.status_every_s = 5; });
    for (const std::uint64_t step_ms : {4000, 999, 1, 4999, 1}) harness.tick_ms(step_ms);
    for (const auto& [marker, lines] :
         {std::pair{"status: up ", 2u}, {"status: up 00:00:05,", 1u}, {"status: up 00:00:10,", 1u}})
        EXPECT_EQ(tally(harness.log, marker).first, lines) << marker;
}

TEST(DenyList, AddressesAndRangesWithCommentsAndWhatMakesALineBad) {
    std::string error;
    const auto list = server::DenyList::parse(
        "# shut out\r\n203.0.113.7\n\n  10.0.0.0/8 # a range\t\r\n10.255.255.255\n11.0.0.0/31\n0.0.0.0/32", error);
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(list->entries(), 5u);
    for (const char* address : {"203.0.113.7", "10.0.0.0", "10.128.3.4", "11.0.0.1", "0.0.0.0"})
        EXPECT_TRUE(list->denies(std::string_view(address))) << address;
    for (const char* address : {"203.0.113.6", "203.0.113.8", "9.255.255.255", "11.0.0.2", "0.0.0.1", "10.0.0"})
        EXPECT_FALSE(list->denies(std::string_view(address))) << address;
    const auto everyone = server::DenyList::parse("0.0.0.0/0\n1.2.3.4", error);
    EXPECT_TRUE(everyone && everyone->denies(0xffffffffu) && everyone->denies(0u));

    for (const auto& [text, message] :
         {std::pair{"1.2.3.4\n1.2.3", "line 2: not an IPv4 address or range: '1.2.3'"},
          {"1.2.3.256", "line 1: not an IPv4 address or range: '1.2.3.256'"},
          {"\n\n01.2.3.4", "line 3: not an IPv4 address or range: '01.2.3.4'"},
          {"1.2.3.4/33", "line 1: not an IPv4 address or range: '1.2.3.4/33'"},
          {"1.2.3.5/31", "line 1: address bits past the prefix in '1.2.3.5/31' (the range would be 1.2.3.4/31)"}}) {
        EXPECT_FALSE(server::DenyList::parse(text, error)) << text;
        EXPECT_EQ(error, message);
    }
}

TEST(DenyList, ClosesAtAcceptIsReadAgainWhenChangedAndABadLineKeepsTheListOrFailsTheStart) {
    TempDir dir;
    const std::string path = (dir / "deny.txt").string();
    std::ofstream(path, std::ios::binary) << "127.0.0.0/8\n";
    ServerHarness harness([&](server::ServerConfig& config) { config.deny_file = path; });
    const auto admitted = [&] {
        const auto before = harness.stats().denied;
        auto client = harness.connect();
        const bool closed = client->wait_closed(harness.pumper(), 50);
        EXPECT_EQ(closed, harness.stats().denied != before);
        return !closed;
    };
    EXPECT_TRUE(harness.logged("deny list " + path + ": 1 entries"));
    EXPECT_FALSE(admitted());
    EXPECT_EQ(tally(harness.log, "denied 127.0.0.1:"), Tally(1, 0));
    std::ofstream(path, std::ios::binary) << "10.0.0.0/8 # only them now\n";
    EXPECT_FALSE(admitted()) << "read again only once a second";
    harness.advance_ms(1000);
    EXPECT_TRUE(admitted());
    std::ofstream(path, std::ios::binary) << "127.0.0.1\n10.0.0.300\n";
    harness.advance_ms(1000);
    EXPECT_TRUE(admitted());
    EXPECT_TRUE(
        harness.logged("deny file " + path +
                       " line 2: not an IPv4 address or range: '10.0.0.300'; the deny list in use stays (1 entries)"));

    server::ServerConfig config;
    config.deny_file = path;
    server::RelayServer server(config);
    std::string error;
    EXPECT_FALSE(server.start(error));
    EXPECT_EQ(error, "deny file " + path + " line 2: not an IPv4 address or range: '10.0.0.300'");
}

}  // namespace
}  // namespace tarkeep::test
