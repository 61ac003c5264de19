#include <gtest/gtest.h>

#include <tuple>

#include "platform/shell.h"
#include "server/text_clean.h"
#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

// Why a server on `host`:`port` with `motd` does not start.
std::string start_error(const std::string& host, std::uint16_t port, const std::string& motd = "hi") {
    ServerConfig config;
    config.host = host;
    config.port = port;
    config.motd = motd;
    config.quiet = true;
    server::RelayServer server(config);
    std::string error;
    EXPECT_FALSE(server.start(error));
    EXPECT_FALSE(server.listening());
    return error;
}

TEST(RelayStart, ListensOnTheChosenPortAndRefusesBadStarts) {
    ServerHarness first;
    ASSERT_TRUE(first.started);
    const std::string port = std::to_string(first.server->bound_port());
    EXPECT_NE(port, "0");
    EXPECT_TRUE(first.logged("listening on 127.0.0.1:" + port + " (protocol 2)"));
    const std::string busy = start_error("127.0.0.1", first.server->bound_port());
    EXPECT_TRUE(busy.starts_with("bind 127.0.0.1:" + port + " (error ")) << busy;
    EXPECT_EQ(start_error("no such host.invalid", 0), "cannot resolve no such host.invalid");
    EXPECT_EQ(start_error("127.0.0.1", 0, std::string(201, 'm')), "message of the day longer than 200 bytes");
}

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

TEST(RelayAccept, ClientBeyondMaxClientsIsRefusedAsFull) {
    ServerConfig config;
    config.max_clients = 2;
    ServerHarness harness(config);
    auto a = harness.connect();
    auto b = harness.connect();
    auto c = harness.connect();
    EXPECT_EQ(c->next<net::Refused>(harness.pumper()), net::Refused{"server full"});
    EXPECT_TRUE(c->wait_closed(harness.pumper()));
    EXPECT_TRUE(harness.logged_starting("refused 127.0.0.1:"));
    EXPECT_TRUE(harness.log.back().ends_with(" (full)"));
    EXPECT_EQ(harness.server->clients().size(), 2u);
    EXPECT_EQ(harness.stats().connections, 3u);
    EXPECT_EQ(harness.stats().refused, 1u);

    // A place frees up when a client leaves.
    a->close();
    for (int i = 0; i < 50 && harness.server->clients().size() == 2; ++i) harness.pump();
    EXPECT_TRUE(harness.logged("client 1 () disconnected: closed by peer"));
    auto d = harness.connect();
    EXPECT_EQ(harness.server->clients().size(), 2u);
    EXPECT_EQ(harness.stats().refused, 1u);
}

TEST(RelayAccept, NinthClientFromOneAddressIsRefused) {
    ServerHarness harness;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < 8; ++i) clients.push_back(harness.connect());
    auto ninth = harness.connect();
    EXPECT_EQ(ninth->next<net::Refused>(harness.pumper()), net::Refused{"server full"});
    EXPECT_EQ(harness.server->clients().size(), 8u);
    for (const auto& [id, client] : harness.server->clients()) EXPECT_EQ(client->peer_address, "127.0.0.1");
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

TEST(RelayHandshake, PingIsEchoedAndGoodbyeClosesQuietly) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    client->send(net::Ping{42, 0xFFFFFFFFFFull});
    EXPECT_EQ(client->next<net::Pong>(harness.pumper()), (net::Pong{42, 0xFFFFFFFFFFull}));
    client->send(net::Goodbye{});
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_TRUE(client->inbox().empty());
    EXPECT_TRUE(harness.logged("client 1 (Ann) disconnected: goodbye"));
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

TEST(RelayTimers, SilentClientIsClosedJustAfterTheHandshakeTimeout) {
    ServerHarness harness;
    auto client = harness.connect();
    harness.advance_ms(5000);
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->clients().size(), 1u) << "exactly 5000 ms is still allowed";
    harness.now_us += 1;
    EXPECT_EQ(client->next<net::Notice>(harness.pumper()), net::Notice{"handshake timeout"});
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_EQ(harness.stats().timeouts, 1u);
    EXPECT_TRUE(harness.logged("client 1 () disconnected: handshake timeout"));
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
    EXPECT_EQ(harness.stats().timeouts, 1u);
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
