#include <gtest/gtest.h>

#include "game_table.h"

namespace tarkeep::test {
namespace {

std::vector<std::uint32_t> slot_ids(const net::LobbyState& state) {
    std::vector<std::uint32_t> ids;
    for (const auto& slot : state.slots) ids.push_back(slot.client_id);
    return ids;
}

std::unique_ptr<TestClient> join_with_hashes(ServerHarness& harness, std::uint64_t build, std::uint64_t data) {
    auto client = harness.connect();
    client->send(net::Hello{net::HELLO_MAGIC, 2, build, data, "Odd"});
    EXPECT_TRUE(client->next<net::Welcome>(harness.pumper()));
    return client;
}

TEST(RelayLobby, CreateJoinReadyAndStartNumberThePlayers) {
    GameTable table(3);
    auto& harness = table.harness;
    table.drain();
    table[2].send(net::SetReady{true});
    const auto state = skip_to<net::LobbyState>(table[0], table.pump());
    ASSERT_TRUE(state);
    EXPECT_EQ(state->game_id, 1u);
    EXPECT_EQ(state->name, "Duel");
    EXPECT_EQ(state->settings, "speed=2");
    EXPECT_EQ(state->host_tag, 77u);
    EXPECT_EQ(state->host_client_id, 1u);
    EXPECT_EQ(state->slots, (std::vector<net::LobbySlot>{{1, "P1", false, 0}, {2, "P2", false, 0}, {3, "P3", true, 0}}));
    EXPECT_TRUE(harness.logged("game 1 'Duel' on Riverlands created by P1"));
    EXPECT_TRUE(harness.logged("P3 joined game 1"));

    const auto starts = table.start(4);
    ASSERT_EQ(starts.size(), 3u);
    const std::vector<net::StartPlayer> players{{1, 1, "P1"}, {2, 2, "P2"}, {3, 3, "P3"}};
    for (std::uint8_t i = 0; i < 3; ++i) {
        EXPECT_EQ(starts[i].players, players);
        EXPECT_EQ(starts[i].your_player_id, i + 1);
        EXPECT_EQ(starts[i].params.first_turn, 4);
        EXPECT_EQ(starts[i].map, "Riverlands");
    }
    EXPECT_TRUE(harness.logged("game 1 started with 3 players"));
    EXPECT_EQ(harness.server->stats().games, 1u);
    EXPECT_EQ(harness.server->stats().games_created, 1u);
}

TEST(RelayLobby, MaxPlayersIsClampedToOneToEight) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0, 1}, {1, 1}, {5, 5}, {8, 8}, {9, 8}, {200, 8}};
    for (const auto& [asked, given] : cases) {
        ServerHarness harness;
        auto host = harness.join("Ann");
        host->send(game_request(asked));
        const auto state = host->next<net::LobbyState>(harness.pumper());
        ASSERT_TRUE(state);
        EXPECT_EQ(state->max_players, given) << int{asked};
    }
}

TEST(RelayLobby, HostLeavingALobbyOfThreeHandsOverToTheNextJoiner) {
    GameTable table(3);
    table.drain();
    table[0].send(net::LeaveGame{});
    for (std::size_t i : {1u, 2u}) {
        const auto state = table[i].next<net::LobbyState>(table.pump());
        ASSERT_TRUE(state);
        EXPECT_EQ(state->host_client_id, 2u);
        EXPECT_EQ(slot_ids(*state), (std::vector<std::uint32_t>{2, 3}));
    }
    table[0].settle(table.pump());
    EXPECT_TRUE(table[0].inbox().empty());

    // The one who left may create a game of its own; the old one closes when emptied.
    table[0].send(game_request());
    EXPECT_EQ(table[0].next<net::LobbyState>(table.pump())->game_id, 2u);
    table[1].send(net::LeaveGame{});
    table[2].send(net::LeaveGame{});
    table[2].settle(table.pump());
    EXPECT_TRUE(table.harness.logged("game 1 closed"));
    EXPECT_EQ(table.harness.server->games().size(), 1u);
}

TEST(RelayLobby, RefusedRequestsGetTheirNotice) {
    struct Case {
        const char* notice;
        std::function<void(ServerHarness&, std::vector<std::unique_ptr<TestClient>>&)> act;
    };
    const auto create = [](TestClient& c, ServerHarness& h, std::uint8_t max = 8) {
        c.send(game_request(max));
        EXPECT_TRUE(c.next<net::LobbyState>(h.pumper()));
    };
    const auto join = [](TestClient& c, ServerHarness& h) {
        c.send(net::JoinGame{1});
        EXPECT_TRUE(skip_to<net::LobbyState>(c, h.pumper()));
    };
    const Case cases[] = {
        {"game is full",
         [&](auto& h, auto& c) {
             create(*c[0], h, 2);
             join(*c[1], h);
             c[2]->send(net::JoinGame{1});
         }},
        {"join refused: your game build or data differs from the host's",
         [&](auto& h, auto& c) {
             create(*c[0], h);
             c[2] = join_with_hashes(h, 1, 0);
             c[2]->send(net::JoinGame{1});
         }},
        {"join refused: your game build or data differs from the host's",
         [&](auto& h, auto& c) {
             create(*c[0], h);
             c[2] = join_with_hashes(h, 0, 1);
             c[2]->send(net::JoinGame{1});
         }},
        {"not everybody is ready",
         [&](auto& h, auto& c) {
             create(*c[0], h);
             join(*c[1], h);
             c[0]->send(net::SetReady{true});
             c[2] = std::move(c[0]);
             c[2]->send(net::StartGame{});
         }},
        {"only the host can start the game",
         [&](auto& h, auto& c) {
             create(*c[0], h);
             join(*c[2], h);
             c[2]->send(net::SetReady{true});
             c[2]->send(net::StartGame{});
         }},
        {"only the host can start the game", [&](auto&, auto& c) { c[2]->send(net::StartGame{}); }},
        {"leave your game first",
         [&](auto& h, auto& c) {
             create(*c[2], h);
             c[2]->send(game_request());
         }},
        {"leave your game first",
         [&](auto& h, auto& c) {
             create(*c[2], h);
             c[2]->send(net::JoinGame{1});
         }},
        {"game not found or already running", [&](auto&, auto& c) { c[2]->send(net::JoinGame{9}); }},
        {"game name and map required",
         [&](auto&, auto& c) { c[2]->send(net::CreateGame{" \x01 ", "Riverlands", 0, 2, ""}); }},
        {"game name and map required", [&](auto&, auto& c) { c[2]->send(net::CreateGame{"Duel", "  ", 0, 2, ""}); }},
        {"too many games on this server",
         [&](auto& h, auto& c) {
             create(*c[0], h);
             create(*c[1], h);
             c[2]->send(game_request());
         }},
        {"blob outside a game", [&](auto&, auto& c) { c[2]->send(net::BlobChunk{0, 4, 0, 1, {1, 2, 3, 4}}); }},
    };
    for (const Case& c : cases) {
        server::ServerConfig config;
        config.max_games = 2;
        ServerHarness harness(config);
        std::vector<std::unique_ptr<TestClient>> clients;
        for (const char* name : {"Ann", "Bo", "Cy"}) clients.push_back(harness.join(name));
        c.act(harness, clients);
        const auto notice = skip_to<net::Notice>(*clients[2], harness.pumper());
        ASSERT_TRUE(notice) << c.notice;
        EXPECT_EQ(notice->text, c.notice);
        EXPECT_FALSE(clients[2]->peer_closed()) << c.notice;
        EXPECT_EQ(harness.server->stats().games, 0u) << c.notice;
    }
}

TEST(RelayLobby, RejectedGameNamesStillUseUpAnId) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    client->send(net::CreateGame{"", "Map", 0, 2, ""});
    EXPECT_TRUE(client->next<net::Notice>(harness.pumper()));
    client->send(net::CreateGame{"  Big\tGame ", "Map", 0, 2, ""});
    const auto state = client->next<net::LobbyState>(harness.pumper());
    ASSERT_TRUE(state);
    EXPECT_EQ(state->game_id, 2u);
    EXPECT_EQ(state->name, "BigGame");
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
    auto& inbox = table[1].inbox();
    ASSERT_EQ(inbox.size(), 5u);
    EXPECT_EQ(std::get<net::ChatRelay>(inbox[3]).text, "spam 3");
    EXPECT_EQ(std::get<net::Notice>(inbox[4]).text, "chat: slow down");
    EXPECT_EQ(table.harness.server->stats().chats, 5u);
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
    EXPECT_EQ(table.harness.server->stats().blob_chunks, 1u);
}

TEST(RelayLobby, LobbyRequestsDuringARunningGame) {
    GameTable table(2);
    table.start();
    auto outsider = table.harness.join("Out");
    table.drain();
    table[0].send(net::ListGames{});
    table[0].send(net::SetReady{false});
    table[0].send(game_request());
    table[0].send(net::JoinGame{1});
    table[0].settle(table.pump());
    auto& inbox = table[0].inbox();
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_EQ(std::get<net::Notice>(inbox[0]).text, "the game is running");
    EXPECT_EQ(std::get<net::Notice>(inbox[1]).text, "the game is running");

    // Someone outside still sees the running game listed.
    outsider->send(net::ListGames{});
    const auto list = outsider->next<net::GameList>(table.pump());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->games, (std::vector<net::GameListEntry>{{1, "Duel", "Riverlands", 2, 8, true, 1}}));
    outsider->send(net::JoinGame{1});
    EXPECT_EQ(outsider->next<net::Notice>(table.pump())->text, "game not found or already running");
}

}  // namespace
}  // namespace tarkeep::test
