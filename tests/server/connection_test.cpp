// Connections from accept to close: limits, the handshake, shutdown and the timers.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/shell.h"
#include "server/text_clean.h"
#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

TEST(RelayStart, ARestartTakesThePortWhileTheLastConnectionsWaitOutTimeWait) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "Windows binds for exclusive use, without address reuse";
    std::uint16_t port = 0;
    {
        ServerHarness first;
        port = first.server->bound_port();
        auto player = first.join("a");
        first.server->shutdown();                 // the server closes first, so its side lingers in TIME_WAIT
        EXPECT_TRUE(player->wait_closed([] {}));  // read to the end: a close with unread bytes resets
    }
    ServerConfig config;
    std::tie(config.host, config.port, config.quiet) = std::tuple("127.0.0.1", port, true);
    server::RelayServer again(config);
    std::string error;
    EXPECT_TRUE(again.start(error)) << error;
}

// Full at 2 by the limit of clients, at 8 by the share of one address; a place frees up when a client leaves.
TEST(RelayAccept, ClientsBeyondTheLimitOrTheAddressShareAreRefusedAsFull) {
    for (const std::size_t max_clients : {2u, 64u}) {
        ServerConfig config;
        config.max_clients = max_clients;
        ServerHarness harness(config);
        const std::size_t room = std::min<std::size_t>(max_clients, 8);
        std::vector<std::unique_ptr<TestClient>> clients;
        for (std::size_t i = 0; i < room; ++i) clients.push_back(harness.connect());
        auto extra = harness.connect();
        EXPECT_EQ(extra->next<net::Refused>(harness.pumper()), net::Refused{"server full"});
        EXPECT_TRUE(extra->wait_closed(harness.pumper()));
        EXPECT_TRUE(harness.logged_starting("refused 127.0.0.1:") && harness.log.back().ends_with(" (full)"));
        const auto counts = [&] {
            return std::tuple(harness.server->clients().size(), harness.stats().connections, harness.stats().refused);
        };
        EXPECT_EQ(counts(), std::tuple(room, room + 1, 1u));

        clients[0]->close();
        for (int i = 0; i < 50 && harness.server->clients().size() == room; ++i) harness.pump();
        EXPECT_TRUE(harness.logged("client 1 () disconnected: closed by peer"));
        auto admitted = harness.connect();
        EXPECT_EQ(counts(), std::tuple(room, room + 2, 1u));
    }
}

TEST(RelayShutdown, ClientsAreToldAndTheServerStopsListening) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    harness.server->shutdown();
    EXPECT_FALSE(harness.server->listening());
    EXPECT_TRUE(harness.server->clients().empty());
    EXPECT_EQ(client->next<net::Notice>([] {}), net::Notice{"server shutting down"});
    EXPECT_TRUE(client->wait_closed([] {}));
    harness.server->poll_once(0);  // a stopped server does nothing
}

TEST(RelayHandshake, WelcomeCarriesTheIdAndTheLongestMotdAndTheNameIsCleaned) {
    ServerConfig config;
    config.motd = std::string(200, 'm');
    ServerHarness harness(config);
    auto first = harness.join("Bo");
    auto client = harness.connect();
    client->send(net::Hello{net::kHelloMagic, 2, 0x0123456789ABCDEFull, 7, "  \tAnn\x7f  "});
    EXPECT_EQ(client->next<net::Welcome>(harness.pumper()), (net::Welcome{2, 2, std::string(200, 'm')}));
    const auto* session = harness.server->find_client(2);
    EXPECT_EQ(session->name, "Ann");
    EXPECT_EQ(session->data_hash, 7u);
    EXPECT_TRUE(harness.logged("client 2 connected from " + session->peer));
    EXPECT_TRUE(harness.logged("client 2 is 'Ann' (build 01234567)"));
    EXPECT_EQ(harness.stats().handshakes, 2u);
}

TEST(RelayHandshake, RefusalsAndKicks) {
    struct Case {
        const char* name;
        bool hello_first;  // the message comes after a good handshake
        net::Message sent;
        net::Message answer;  // the only message before the server closes
        std::uint64_t protocol_kicks;
        const char* logged_reason;
    };
    const char* outside = "game message outside a running game";
    const Case cases[] = {
        {"ping first", false, net::Ping{1, 2}, net::Notice{"expected hello"}, 1, "expected hello"},
        {"wrong magic", false, net::Hello{0x12345678, 2, 0, 0, "Ann"}, net::Notice{"expected hello"}, 1, nullptr},
        {"version 3", false, net::Hello{net::kHelloMagic, 3, 0, 0, "Ann"},
         net::Refused{"protocol version 3 not supported (server: 2)"}, 0, "protocol version"},
        {"blank name", false, net::Hello{net::kHelloMagic, 2, 0, 0, " \x01\x1f "}, net::Refused{"empty player name"}, 0,
         "empty name"},
        {"bundle", true, net::TurnBundle{}, net::Notice{outside}, 1, nullptr},
        {"hash report", true, net::HashReport{}, net::Notice{outside}, 1, nullptr},
        {"signal", true, net::GameSignal{}, net::Notice{outside}, 1, nullptr},
        {"second hello", true, net::Hello{}, net::Notice{"unexpected message"}, 1, nullptr},
        {"server's welcome", true, net::Welcome{}, net::Notice{"unexpected message"}, 1, nullptr},
        {"server's notice", true, net::Notice{"hi"}, net::Notice{"unexpected message"}, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness harness;
        auto client = c.hello_first ? harness.join("Ann") : harness.connect();
        client->send(c.sent);
        EXPECT_TRUE(client->wait_closed(harness.pumper()));
        EXPECT_TRUE(client->inbox() == std::deque<net::Message>{c.answer});
        EXPECT_EQ(harness.stats().protocol_kicks, c.protocol_kicks);
        EXPECT_EQ(harness.stats().handshakes, c.hello_first ? 1u : 0u);
        if (c.logged_reason) {
            EXPECT_TRUE(harness.logged(std::string("client 1 () disconnected: ") + c.logged_reason));
        }
    }
}

TEST(RelayHandshake, PingIsEchoedAndGoodbyeClosesQuietlyAlsoWhenThePeerClosesAtOnce) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    client->send(net::Ping{42, 0xFFFFFFFFFFull});
    EXPECT_EQ(client->next<net::Pong>(harness.pumper()), (net::Pong{42, 0xFFFFFFFFFFull}));
    client->send(net::Goodbye{});
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_TRUE(client->inbox().empty());
    EXPECT_TRUE(harness.logged("client 1 (Ann) disconnected: goodbye"));

    auto bo = harness.join("Bo");  // its frame is still handled after the end of the stream
    bo->send(net::Goodbye{});
    bo->close();
    for (int i = 0; i < 50 && !harness.server->clients().empty(); ++i) harness.pump();
    EXPECT_TRUE(harness.logged("client 2 (Bo) disconnected: goodbye"));
}

TEST(TextClean, ControlBytesSpacesAndCharacterBoundaries) {
    struct Case {
        std::string in;
        std::size_t max;
        std::string out;
    };
    const Case cases[] = {
        {"  Ann  ", 24, "Ann"},
        {"\x01\x1f\x7f", 24, ""},
        {" \tA\nB ", 24, "AB"},
        {std::string(23, 'a') + "\xC3\xA9", 24, std::string(23, 'a')},
        {std::string(22, 'a') + "\xC3\xA9", 24, std::string(22, 'a') + "\xC3\xA9"},
        {"abc \xE2\x82\xAC", 6, "abc"},
        {"\xFF\x80 x", 24, "\xFF\x80 x"},
    };
    for (const Case& c : cases) EXPECT_EQ(server::clean_text(c.in, c.max), c.out) << c.in;
}

TEST(RelayTimers, SilenceIsClosedJustAfterItsTimeoutAndActivityRestartsTheClock) {
    const std::tuple<bool, std::uint64_t, const char*, const char*> cases[] = {
        {false, 5000, "handshake timeout", "client 1 () disconnected: handshake timeout"},
        {true, 20000, "timeout", "client 1 (Ann) disconnected: timeout"}};
    for (const auto& [joined, limit_ms, notice, logged] : cases) {
        ServerHarness harness;
        auto client = joined ? harness.join("Ann") : harness.connect();
        if (joined) {
            harness.advance_ms(15000);
            client->send(net::Ping{1, 0});
            client->settle(harness.pumper());
        }
        harness.advance_ms(limit_ms);
        client->settle(harness.pumper());
        EXPECT_EQ(harness.server->clients().size(), 1u) << "exactly the limit is still allowed";
        harness.now_us += 1;
        EXPECT_TRUE(client->wait_closed(harness.pumper()));
        EXPECT_TRUE(client->inbox().back() == net::Message(net::Notice{notice})) << notice;
        EXPECT_EQ(harness.stats().timeouts, 1u);
        EXPECT_TRUE(harness.logged(logged)) << logged;
    }
}

TEST(RelayTimers, PingsMeasureTheRoundTripFromTheServerClockCappedAtOneMinute) {
    ServerConfig config;
    config.idle_timeout_ms = 1000000;
    ServerHarness harness(config);
    auto client = harness.join("Ann");
    const auto round_trip = [&] { return harness.server->find_client(1)->round_trip_ms; };
    harness.advance_ms(1001);
    EXPECT_EQ(client->next<net::Ping>(harness.pumper()), (net::Ping{1, harness.now_us}));
    harness.advance_ms(37);
    client->send(net::Pong{1, 12345});  // the echoed time field is not trusted
    client->settle(harness.pumper());
    EXPECT_EQ(round_trip(), 37);

    // A pong for an older ping changes nothing.
    harness.advance_ms(1001);
    EXPECT_EQ(client->next<net::Ping>(harness.pumper()), (net::Ping{2, harness.now_us}));
    harness.advance_ms(5);
    client->send(net::Pong{1, 0});
    client->settle(harness.pumper());
    EXPECT_EQ(round_trip(), 37);

    harness.advance_ms(70000);
    client->send(net::Pong{2, 0});
    client->settle(harness.pumper());
    EXPECT_EQ(round_trip(), 60000);
}

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
    const net::PingTable table{{{1, 20}, {2, 10}}};
    EXPECT_EQ(ann->next<net::PingTable>(harness.pumper()), table);
    EXPECT_TRUE(bo->next<net::Ping>(harness.pumper()));
    EXPECT_EQ(bo->next<net::PingTable>(harness.pumper()), table);
    EXPECT_TRUE(cy->wait_closed(harness.pumper()));
    EXPECT_EQ(ann->next<net::PlayerDropped>(harness.pumper()).value_or(net::PlayerDropped{}).player_id, 3);

    // The next table waits a full interval.
    harness.advance_ms(999);
    ann->settle(harness.pumper());
    EXPECT_TRUE(ann->inbox().empty());
}

}  // namespace
}  // namespace tarkeep::test
