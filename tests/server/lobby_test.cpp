// Lobbies: creating, joining, readying and starting games, chat and blobs before the start.
#include <gtest/gtest.h>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

TEST(RelayLobby, CreateJoinReadyAndStartNumberThePlayers) {
    GameTable table(3);
    auto& harness = table.harness;
    table.drain();
    table[2].send(net::SetReady{true});
    EXPECT_EQ(skip_to<net::LobbyState>(table[0], table.pump()),
              (net::LobbyState{1,
                               "Duel",
                               "Riverlands",
                               77,
                               "speed=2",
                               1,
                               8,
                               {{1, "P1", false, 0}, {2, "P2", false, 0}, {3, "P3", true, 0}}}));
    EXPECT_TRUE(harness.logged("game 1 'Duel' on Riverlands created by P1"));
    EXPECT_TRUE(harness.logged("P3 joined game 1"));

    const auto starts = table.start(4);
    ASSERT_EQ(starts.size(), 3u);
    net::LockstepParams params;
    params.first_turn = 4;
    for (std::uint8_t i = 0; i < 3; ++i)
        EXPECT_EQ(starts[i], (net::GameStart{1,
                                             "Riverlands",
                                             77,
                                             "speed=2",
                                             params,
                                             {{1, 1, "P1"}, {2, 2, "P2"}, {3, 3, "P3"}},
                                             std::uint8_t(i + 1)}));
    EXPECT_TRUE(harness.logged("game 1 started with 3 players"));
    EXPECT_EQ(harness.stats().games, 1u);
    EXPECT_EQ(harness.stats().games_created, 1u);
}

TEST(RelayLobby, MaxPlayersIsClampedToOneToEight) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0, 1}, {1, 1}, {5, 5}, {8, 8}, {9, 8}, {200, 8}};
    for (const auto& [asked, given] : cases) {
        ServerHarness harness;
        auto host = harness.join("Ann");
        host->send(game_request(asked));
        EXPECT_EQ(host->next<net::LobbyState>(harness.pumper()).value_or(net::LobbyState{}).max_players, given)
            << int{asked};
    }
}

TEST(RelayLobby, HostLeavingALobbyOfThreeHandsOverToTheNextJoiner) {
    GameTable table(3);
    table.drain();
    table[0].send(net::LeaveGame{});
    for (std::size_t i : {1u, 2u})
        EXPECT_EQ(table[i].next<net::LobbyState>(table.pump()),
                  (net::LobbyState{
                      1, "Duel", "Riverlands", 77, "speed=2", 2, 8, {{2, "P2", false, 0}, {3, "P3", false, 0}}}));
    table[0].settle(table.pump());
    EXPECT_TRUE(table[0].inbox().empty());

    // The one who left may create a game of its own; the old one closes when emptied.
    table[0].send(game_request());
    EXPECT_EQ(table[0].next<net::LobbyState>(table.pump()).value_or(net::LobbyState{}).game_id, 2u);
    table[1].send(net::LeaveGame{});
    table[2].send(net::LeaveGame{});
    table[2].settle(table.pump());
    EXPECT_TRUE(table.harness.logged("game 1 closed"));
    EXPECT_EQ(table.harness.server->games().size(), 1u);
}

TEST(RelayLobby, RefusedRequestsGetTheirNotice) {
    const std::string differs = "join refused: your game build or data differs from the host's";
    const net::Message create = game_request(), join = net::JoinGame{1}, ready = net::SetReady{true},
                       start = net::StartGame{};
    struct Case {
        std::string notice;
        std::vector<std::pair<std::size_t, net::Message>> steps;  // sender and request; the last sender is refused
        std::uint64_t build = 0, data = 0;                        // of the third client
    };
    const Case cases[] = {{"game is full", {{0, game_request(2)}, {1, join}, {2, join}}},
                          {differs, {{0, create}, {2, join}}, 1, 0},
                          {differs, {{0, create}, {2, join}}, 0, 1},
                          {"not everybody is ready", {{0, create}, {1, join}, {0, ready}, {0, start}}},
                          {"only the host can start the game", {{0, create}, {2, join}, {2, ready}, {2, start}}},
                          {"only the host can start the game", {{2, start}}},
                          {"leave your game first", {{2, create}, {2, create}}},
                          {"leave your game first", {{2, create}, {2, join}}},
                          {"game not found or already running", {{2, net::JoinGame{9}}}},
                          {"game name and map required", {{2, net::CreateGame{" \x01 ", "Riverlands", 0, 2, ""}}}},
                          {"game name and map required", {{2, net::CreateGame{"Duel", "  ", 0, 2, ""}}}},
                          {"too many games on this server", {{0, create}, {1, create}, {2, create}}},
                          {"blob outside a game", {{2, net::BlobChunk{0, 4, 0, 1, {1, 2, 3, 4}}}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notice);
        server::ServerConfig config;
        config.max_games = 2;
        ServerHarness harness(config);
        std::vector<std::unique_ptr<TestClient>> clients;
        for (const char* name : {"Ann", "Bo"}) clients.push_back(harness.join(name));
        clients.push_back(harness.join("Cy", c.build, c.data));
        for (const auto& [sender, request] : c.steps) {
            clients[sender]->send(request);
            clients[sender]->settle(harness.pumper());
        }
        TestClient& refused = *clients[c.steps.back().first];
        EXPECT_EQ(skip_to<net::Notice>(refused, harness.pumper()), net::Notice{c.notice});
        EXPECT_FALSE(refused.peer_closed());
        EXPECT_EQ(harness.stats().games, 0u);
    }
}

TEST(RelayLobby, RejectedGameNamesStillUseUpAnId) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    client->send(net::CreateGame{"", "Map", 0, 2, ""});
    EXPECT_TRUE(client->next<net::Notice>(harness.pumper()));
    client->send(net::CreateGame{"  Big\tGame ", "Map", 0, 2, ""});
    EXPECT_EQ(client->next<net::LobbyState>(harness.pumper()),
              (net::LobbyState{2, "BigGame", "Map", 0, "", 1, 2, {{1, "Ann", false, 0}}}));
}

TEST(RelayLobby, ChatIsEchoedInAGameIgnoredOutsideAndThrottled) {
    GameTable table(2);
    auto outsider = table.harness.join("Out");
    table.drain();
    outsider->send(net::Chat{"anyone?"});
    outsider->settle(table.pump());
    EXPECT_TRUE(outsider->inbox().empty());

    table[1].send(net::Chat{"  gl\x07 hf "});
    for (std::size_t i : {0u, 1u})
        EXPECT_EQ(table[i].next<net::ChatRelay>(table.pump()), (net::ChatRelay{2, "P2", "gl hf"}));
    table[1].send(net::Chat{" \x01 "});  // empty once cleaned: ignored, costs no token
    for (int i = 0; i < 5; ++i) table[1].send(net::Chat{"spam " + std::to_string(i)});
    table[1].settle(table.pump());
    const std::deque<net::Message> answers = {net::ChatRelay{2, "P2", "spam 0"}, net::ChatRelay{2, "P2", "spam 1"},
                                              net::ChatRelay{2, "P2", "spam 2"}, net::ChatRelay{2, "P2", "spam 3"},
                                              net::Notice{"chat: slow down"}};
    EXPECT_TRUE(table[1].inbox() == answers);
    EXPECT_EQ(table.stats().chats, 5u);
    outsider->settle(table.pump());
    EXPECT_TRUE(outsider->inbox().empty());
}

TEST(RelayLobby, BlobChunksAreRelayedInTheLobbyWithTheSenderStamped) {
    GameTable table(3);
    table.drain();
    table[2].send(net::BlobChunk{99, 10, 4, 5, {1, 2, 3}});
    const net::BlobChunk expected{3, 10, 4, 5, {1, 2, 3}};
    EXPECT_EQ(table[0].next<net::BlobChunk>(table.pump()), expected);
    EXPECT_EQ(table[1].next<net::BlobChunk>(table.pump()), expected);
    table[2].settle(table.pump());
    EXPECT_TRUE(table[2].inbox().empty());
    EXPECT_EQ(table.stats().blob_chunks, 1u);
}

TEST(RelayLobby, LobbyRequestsDuringARunningGame) {
    GameTable table(2);
    table.start();
    auto outsider = table.harness.join("Out");
    table.drain();
    for (const net::Message& request :
         std::vector<net::Message>{net::ListGames{}, net::SetReady{false}, game_request(), net::JoinGame{1}})
        table[0].send(request);
    table[0].settle(table.pump());
    const std::deque<net::Message> answers = {net::Notice{"the game is running"}, net::Notice{"the game is running"}};
    EXPECT_TRUE(table[0].inbox() == answers);

    // Someone outside still sees the running game listed.
    outsider->send(net::ListGames{});
    EXPECT_EQ(outsider->next<net::GameList>(table.pump()), (net::GameList{{{1, "Duel", "Riverlands", 2, 8, true, 1}}}));
    outsider->send(net::JoinGame{1});
    EXPECT_EQ(outsider->next<net::Notice>(table.pump()), net::Notice{"game not found or already running"});
}

}  // namespace
}  // namespace tarkeep::test
