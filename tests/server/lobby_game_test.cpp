// Games from the lobby to the last player leaving: creating, joining, chat, blobs, the start,
// relayed bundles, signals and hash reports, and players who leave or are dropped.
#include "server_harness.h"

namespace tarkeep::test {
namespace {

using Inbox = std::deque<net::Message>;

// Three players and one client outside through one game; each step checks all that arrives.
TEST(RelayGame, OneGameFromTheLobbyToTheLastPlayerLeaving) {
    GameTable table(3);
    auto& harness = table.harness;
    auto outsider = harness.join("Out");
    table.drain();
    table[2].send(net::SetReady{true});
    const std::vector<net::LobbySlot> slots = {{1, "P1", false, 0}, {2, "P2", false, 0}, {3, "P3", true, 0}};
    EXPECT_EQ(skip_to<net::LobbyState>(table[0], table.pump()),
              (net::LobbyState{1, "Duel", "Riverlands", 77, "speed=2", 1, 8, slots}));
    EXPECT_TRUE(harness.logged("game 1 'Duel' on Riverlands created by P1"));
    EXPECT_TRUE(harness.logged("P3 joined game 1"));
    table.drain();

    // Chat is echoed in a game, ignored outside and throttled; blobs go to the others with the sender stamped.
    outsider->send(net::Chat{"anyone?"});
    table[1].send(net::Chat{"  gl\x07 hf "});
    for (std::size_t i : {0u, 1u})
        EXPECT_EQ(table[i].next<net::ChatRelay>(table.pump()), (net::ChatRelay{2, "P2", "gl hf"}));
    table[1].send(net::Chat{" \x01 "});  // empty once cleaned: ignored, costs no token
    for (int i = 0; i < 5; ++i) table[1].send(net::Chat{"spam " + std::to_string(i)});
    table[1].settle(table.pump());
    Inbox answers;
    for (int i = 0; i < 4; ++i) answers.push_back(net::ChatRelay{2, "P2", "spam " + std::to_string(i)});
    answers.push_back(net::Notice{"chat: slow down"});
    EXPECT_TRUE(table[1].inbox() == answers);
    EXPECT_EQ(harness.stats().chats, 5u);
    table.drain();
    table[2].send(net::BlobChunk{99, 10, 4, 5, {1, 2, 3}});
    for (std::size_t i : {0u, 1u})
        EXPECT_EQ(table[i].next<net::BlobChunk>(table.pump()), (net::BlobChunk{3, 10, 4, 5, {1, 2, 3}}));
    table[2].settle(table.pump());
    outsider->settle(table.pump());
    EXPECT_TRUE(table[2].inbox().empty() && outsider->inbox().empty());
    EXPECT_EQ(harness.stats().blob_chunks, 1u);

    const auto starts = table.start(4);
    ASSERT_EQ(starts.size(), 3u);
    const net::LockstepParams params{.first_turn = 4};
    const std::vector<net::StartPlayer> players = {{1, 1, "P1"}, {2, 2, "P2"}, {3, 3, "P3"}};
    for (std::uint8_t i = 0; i < 3; ++i)
        EXPECT_EQ(starts[i], (net::GameStart{1, "Riverlands", 77, "speed=2", params, players, std::uint8_t(i + 1)}));
    EXPECT_TRUE(harness.logged("game 1 started with 3 players"));
    EXPECT_EQ(std::tuple(harness.stats().games, harness.stats().games_created), std::tuple(1u, 1u));
    table.drain();

    // Lobby requests in a running game; outside it is listed but cannot be joined.
    for (const net::Message& request :
         std::vector<net::Message>{net::ListGames{}, net::SetReady{false}, game_request(), net::JoinGame{1}})
        table[0].send(request);
    table[0].settle(table.pump());
    EXPECT_TRUE(table[0].inbox() == (Inbox{net::Notice{"the game is running"}, net::Notice{"the game is running"}}));
    table[0].inbox().clear();
    outsider->send(net::ListGames{});
    EXPECT_EQ(outsider->next<net::GameList>(table.pump()), (net::GameList{{{1, "Duel", "Riverlands", 3, 8, true, 1}}}));
    outsider->send(net::JoinGame{1});
    EXPECT_EQ(outsider->next<net::Notice>(table.pump()), net::Notice{"game not found or already running"});

    // Bundles and signals go to the others with the sender's player id.
    table[1].send(bundle(4, 7));
    table[1].send(bundle(5, 0));
    table[2].send(net::GameSignal{0, 12345});
    for (std::size_t i : {0u, 2u}) {
        EXPECT_EQ(table[i].next<net::TurnBundle>(table.pump()), bundle(4, 2));
        EXPECT_EQ(table[i].next<net::TurnBundle>(table.pump()), bundle(5, 2));
    }
    EXPECT_EQ(table[0].next<net::GameSignal>(table.pump()), (net::GameSignal{3, 12345}));
    EXPECT_EQ(harness.stats().bundles_relayed, 2u);
    table.drain();

    // Hash mismatches are counted per differing report: player, hash for tick 100, count after it.
    const std::tuple<std::size_t, std::uint64_t, std::uint64_t> reports[] = {
        {0, 0xAAAA, 0}, {1, 0xBBBB, 1}, {2, 0xAAAA, 2}, {1, 0xAAAA, 2}};
    for (const auto& [player, hash, mismatches] : reports) {
        table[player].send(net::HashReport{9, 100, hash});
        table[player].settle(table.pump());
        EXPECT_EQ(harness.stats().hash_mismatches, mismatches) << "after player " << player + 1;
    }
    EXPECT_TRUE(harness.logged("game 1: hashes differ at tick 100"));
    EXPECT_EQ(harness.stats().hash_reports, 4u);
    table[0].settle(table.pump());
    EXPECT_TRUE(table[0].inbox() == (Inbox{net::HashReport{2, 100, 0xBBBB}, net::HashReport{3, 100, 0xAAAA},
                                           net::HashReport{2, 100, 0xAAAA}}));
    table.drain();

    // A bundle out of turn closes its sender and the others hear of the drop.
    table[2].send(bundle(7));
    EXPECT_EQ(table[2].next<net::Notice>(table.pump()), net::Notice{"bundle for turn 7, expected 4"});
    EXPECT_TRUE(table[2].wait_closed(table.pump()));
    for (std::size_t i : {0u, 1u})
        EXPECT_EQ(table[i].next<net::PlayerDropped>(table.pump()),
                  (net::PlayerDropped{3, 3, "bundle for turn 7, expected 4"}));
    EXPECT_EQ(std::tuple(harness.stats().protocol_kicks, harness.stats().drops), std::tuple(1u, 1u));
    EXPECT_TRUE(harness.logged("game 1: player 3 (P3) dropped after turn 3: bundle for turn 7, expected 4"));

    // A frame sent just before the close is still relayed, and the drop names the last turn.
    table[1].send(bundle(6));
    table[1].close();
    EXPECT_EQ(table[0].next<net::TurnBundle>(table.pump()), bundle(6, 2));
    EXPECT_EQ(table[0].next<net::PlayerDropped>(table.pump()), (net::PlayerDropped{2, 6, "closed by peer"}));
    EXPECT_FALSE(harness.logged("game 1 closed"));
    table[0].send(net::LeaveGame{});
    EXPECT_TRUE(table[0].wait_closed(table.pump()));
    EXPECT_TRUE(table[0].inbox().empty());  // no notice for leaving
    EXPECT_TRUE(harness.logged("game 1: player 1 (P1) dropped after turn 3: left the game"));
    EXPECT_TRUE(harness.logged("game 1 closed"));
    EXPECT_TRUE(harness.server->games().empty());
    EXPECT_EQ(harness.stats().drops, 3u);
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

    // The one who left may create a game of its own.
    table[0].send(game_request(9));  // more than 8 players asked: 8 given
    const auto own = table[0].next<net::LobbyState>(table.pump()).value_or(net::LobbyState{});
    EXPECT_EQ(std::tuple(own.game_id, own.max_players), std::tuple(2u, 8u));
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
    const Case cases[] = {{"game is full", {{0, game_request(0)}, {1, join}}},  // no players asked: 1 given
                          {differs, {{0, create}, {2, join}}, 1, 0},
                          {differs, {{0, create}, {2, join}}, 0, 1},
                          {"not everybody is ready", {{0, create}, {1, join}, {0, ready}, {0, start}}},
                          {"only the host can start the game", {{0, create}, {2, join}, {2, ready}, {2, start}}},
                          {"leave your game first", {{2, create}, {2, join}}},
                          {"game not found or already running", {{2, net::JoinGame{9}}}},
                          {"game name and map required", {{2, net::CreateGame{" \x01 ", "Riverlands", 0, 2, ""}}}},
                          {"game name and map required", {{2, net::CreateGame{"Duel", "  ", 0, 2, ""}}}},
                          {"too many games on this server", {{0, create}, {1, create}, {2, create}}},
                          {"blob outside a game", {{2, net::BlobChunk{0, 4, 0, 1, {1, 2, 3, 4}}}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notice);
        ServerHarness harness([](server::ServerConfig& config) { config.max_games = 2; });
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

}  // namespace
}  // namespace tarkeep::test
