// One client's connection from accept to close: limits, the handshake, frames, rates,
// output that cannot drain, the timers and shutdown.
#include <tuple>

#include "platform/shell.h"
#include "server/text_clean.h"
#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

const net::Hello ann_hello{net::kHelloMagic, 2, 0, 0, "Ann"};

// A host restarting the relay must get its port back while the last connections wait out TIME_WAIT.
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
    ServerHarness again([&](ServerConfig& config) { config.port = port; });  // it checks that it started
}

// Full at 2 by the limit of clients, at 8 by the share of one address; a place frees up when a client leaves.
TEST(RelayAccept, ClientsBeyondTheLimitOrTheAddressShareAreRefusedAsFull) {
    for (const std::size_t max_clients : {2u, 64u}) {
        ServerHarness harness([&](ServerConfig& config) { config.max_clients = max_clients; });
        const std::size_t room = std::min<std::size_t>(max_clients, 8);
        std::vector<std::unique_ptr<TestClient>> clients;
        for (std::size_t i = 0; i < room; ++i) clients.push_back(harness.connect());
        auto extra = harness.connect();
        EXPECT_EQ(extra->next<net::Refused>(harness.pumper()), net::Refused{"server full"});
        EXPECT_TRUE(extra->wait_closed(harness.pumper()));
        EXPECT_TRUE(harness.log.back().starts_with("refused 127.0.0.1:") && harness.log.back().ends_with(" (full)"));
        const auto counts = [&] {
            return std::tuple(harness.server->clients().size(), harness.stats().connections, harness.stats().refused);
        };
        EXPECT_EQ(counts(), std::tuple(room, room + 1, 1u));

        clients[0]->close();
        for (int i = 0; i < 50 && harness.server->clients().size() == room; ++i) harness.pump();
        EXPECT_TRUE(harness.logged("client 1 () disconnected: closed by peer"));
        auto admitted = harness.connect();
        EXPECT_EQ(counts(), std::tuple(room, room + 2, 1u));

        // Full by the limit, a silent connection older than a second gives way; by the address share, none does.
        harness.advance_ms(1001);
        auto late = harness.connect();
        late->send(ann_hello);
        const bool evicts = max_clients == 2;
        EXPECT_TRUE(late->next_message(harness.pumper()) ==
                    (evicts ? net::Message(net::Welcome{4, 2, "Tarkeep relay"}) : net::Refused{"server full"}));
        EXPECT_EQ(harness.stats().timeouts, evicts ? 1u : 0u);
    }
}

// What a client may not send: all it hears before the server closes, the counters and the logged reason.
TEST(RelayHandshake, RefusalsAndKicks) {
    using net::Notice, net::Refused;
    const std::string outside = "game message outside a running game";
    const std::string unknown = "protocol error: protocol: unknown message type 99";
    const auto hello = [](std::uint16_t version, const char* name, std::uint32_t magic = net::kHelloMagic) {
        return framed({net::Hello{magic, version, 0, 0, name}});
    };
    const std::tuple<bool, net::Bytes, std::deque<net::Message>, std::uint64_t, std::string> cases[] = {
        // after a good handshake?, the bytes sent, all that comes back, protocol kicks, the logged reason
        {false, framed({net::Ping{1, 2}}), {Notice{"expected hello"}}, 1, "expected hello"},
        {false, hello(2, "Ann", 0x12345678), {Notice{"expected hello"}}, 1, "expected hello"},
        {false, hello(3, "A"), {Refused{"protocol version 3 not supported (server: 2)"}}, 0, "protocol version"},
        {false, hello(2, " \x01\x1f "), {Refused{"empty player name"}}, 0, "empty name"},
        {false, {0x70, 0x11, 0x01, 0x00}, {}, 1, "invalid frame length 70000"},  // no body yet
        {false, {1, 0, 0, 0, 99}, {Notice{unknown}}, 1, unknown},
        {true, framed({net::TurnBundle{}}), {Notice{outside}}, 1, outside},
        {true, framed({net::Welcome{}}), {Notice{"unexpected message"}}, 1, "unexpected message"},
    };
    for (const auto& [hello_first, sent, answer, protocol_kicks, reason] : cases) {
        SCOPED_TRACE(reason);
        ServerHarness harness;
        auto client = hello_first ? harness.join("Ann") : harness.connect();
        client->send_raw(sent);
        EXPECT_TRUE(client->wait_closed(harness.pumper()));
        EXPECT_TRUE(client->inbox() == answer);
        EXPECT_EQ(std::tuple(harness.stats().protocol_kicks, harness.stats().handshakes),
                  std::tuple(protocol_kicks, hello_first ? 1u : 0u));
        EXPECT_TRUE(
            harness.logged(std::string("client 1 (") + (hello_first ? "Ann" : "") + ") disconnected: " + reason));
    }
}

// The Welcome carries the client's own id and the longest message of the day; shutdown tells the
// clients left. (Frames sent just before the peer closes are still handled: see the relayed game.)
TEST(RelayHandshake, AHelloSplitOverManyReadsPingGoodbyeAndShutdown) {
    ServerHarness harness([](ServerConfig& config) { config.motd = std::string(200, 'm'); });
    auto bo = harness.join("Bo");
    auto client = harness.connect();
    const net::Bytes hello = framed({net::Hello{net::kHelloMagic, 2, 0x0123456789ABCDEFull, 7, "  \tAnn\x7f  "}});
    for (std::size_t i = 0; i + 1 < hello.size(); ++i) {
        client->send_raw({hello[i]});
        client->settle(harness.pumper(), 1);
        ASSERT_TRUE(client->inbox().empty()) << "answered after byte " << i;
    }
    client->send_raw({hello.back()});
    EXPECT_EQ(client->next<net::Welcome>(harness.pumper()), (net::Welcome{2, 2, std::string(200, 'm')}));
    const auto* session = harness.server->find_client(2);
    EXPECT_EQ(std::tie(session->name, session->data_hash), std::tuple("Ann", 7u));
    EXPECT_TRUE(harness.logged("client 2 connected from " + session->peer));
    EXPECT_TRUE(harness.logged("client 2 is 'Ann' (build 01234567)"));
    const std::size_t bo_hello = framed({net::Hello{net::kHelloMagic, 2, 0, 0, "Bo"}}).size();
    EXPECT_EQ(std::tuple(harness.stats().handshakes, harness.stats().frames_received, harness.stats().bytes_received),
              std::tuple(2u, 2u, bo_hello + hello.size()));

    client->send(net::Ping{42, 0xFFFFFFFFFFull});
    EXPECT_EQ(client->next<net::Pong>(harness.pumper()), (net::Pong{42, 0xFFFFFFFFFFull}));
    client->send(net::Goodbye{});
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_TRUE(client->inbox().empty());
    EXPECT_TRUE(harness.logged("client 2 (Ann) disconnected: goodbye"));

    auto cy = harness.join("Cy");
    harness.server->shutdown();
    EXPECT_TRUE(!harness.server->listening() && harness.server->clients().empty());
    EXPECT_EQ(cy->next<net::Notice>([] {}), net::Notice{"server shutting down"});
    EXPECT_TRUE(cy->wait_closed([] {}));
    harness.server->poll_once(0);  // a stopped server does nothing
}

// Many frames in one read are handled in order until the frame or byte allowance runs out;
// the clock stands still, so no tokens come back.
TEST(RelayRates, ABurstIsAnsweredUntilItsFrameOrByteAllowanceRunsOut) {
    const std::size_t hello_bytes = framed({ann_hello}).size(), ping_bytes = framed({net::Ping{1, 0}}).size();
    const std::pair<server::RateLimit, std::size_t> cases[] = {{ServerConfig{}.byte_rate, 599},  // 600 frames
                                                               {{1000, 2000}, (2000 - hello_bytes) / ping_bytes}};
    for (const auto& [byte_rate, pongs] : cases) {
        ServerHarness harness([&](ServerConfig& config) { config.byte_rate = byte_rate; });  // counts frame headers
        auto client = harness.connect();
        std::vector<net::Message> burst{ann_hello};
        for (std::uint32_t i = 0; i <= pongs; ++i) burst.push_back(net::Ping{i, 0});
        client->send_raw(framed(burst));
        EXPECT_TRUE(client->wait_closed(harness.pumper()));
        auto& inbox = client->inbox();
        ASSERT_EQ(inbox.size(), pongs + 2);  // Welcome, the pongs, the notice
        EXPECT_TRUE(std::holds_alternative<net::Welcome>(inbox.front()));
        for (std::uint32_t i = 0; i < pongs; ++i) ASSERT_EQ(std::get<net::Pong>(inbox[i + 1]).sequence, i);
        EXPECT_EQ(std::get<net::Notice>(inbox.back()).text, "rate limit exceeded");
        EXPECT_EQ(std::tuple(harness.stats().rate_limit_kicks, harness.stats().protocol_kicks), std::tuple(1u, 0u));
    }
}

TEST(RelayOutput, APeerThatCannotKeepUpIsDroppedAnUnencodableMessageIsSkippedAndUnreadInputStillEndsInOrder) {
    ServerHarness harness([](ServerConfig& config) { config.connection_buffer_limit = 1000; });
    auto client = harness.join("Ann");
    auto& session = *harness.server->find_client(1);
    EXPECT_NO_THROW(harness.server->send_to(session, net::Notice{std::string(300, 'x')}));
    EXPECT_FALSE(session.closing);
    EXPECT_TRUE(harness.logged("client 1: message type 75 not sent: protocol: text field too long"));
    client->send(net::Ping{5, 6});
    EXPECT_EQ(client->next<net::Pong>(harness.pumper()), (net::Pong{5, 6}));

    int queued = 0;
    for (; queued < 20 && !session.closing; ++queued)
        harness.server->send_to(session, net::Notice{std::string(150, 'n')});
    EXPECT_EQ(queued, 7) << "six notices of 159 bytes fit in 1000, the seventh does not";
    EXPECT_EQ(session.close_reason, "too slow (output buffer full)");
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_EQ(client->inbox().size(), 6u);  // what was queued before the overflow still goes out
    EXPECT_TRUE(harness.logged("client 1 (Ann) disconnected: too slow (output buffer full)"));
    EXPECT_EQ(harness.stats().protocol_kicks + harness.stats().rate_limit_kicks, 0u);

    // An overlong close reason is still delivered, cut to the wire limit.
    auto bo = harness.join("Bo");
    harness.server->close_client(*harness.server->find_client(2), std::string(250, 'r'), true);
    EXPECT_EQ(bo->next<net::Notice>(harness.pumper()), net::Notice{std::string(200, 'r')});
    client->close();
    bo->close();

    // Closed with most of a frame unread (reading paused at the limit), a client still hears its
    // notice and an orderly end, and the connection drains until the peer closes.
    auto squatter = harness.connect();
    net::Bytes partial(50004, 0);
    partial[0] = 0x60, partial[1] = 0xEA;  // a 60000-byte frame, never completed
    squatter->send_raw(partial);
    squatter->settle(harness.pumper());
    harness.advance_ms(5000);
    squatter->settle(harness.pumper());
    EXPECT_TRUE(squatter->inbox().empty()) << "exactly the handshake limit is still allowed";
    harness.now_us += 1;
    EXPECT_EQ(squatter->next<net::Notice>(harness.pumper()), net::Notice{"handshake timeout"});
    EXPECT_TRUE(squatter->wait_closed(harness.pumper()));
    EXPECT_TRUE(harness.logged("client 3 () disconnected: handshake timeout"));
    EXPECT_FALSE(squatter->reset());
    EXPECT_EQ(harness.server->closing_connections().size(), 1u);
    squatter->close();
    for (int i = 0; i < 50 && harness.server->closing_connections().size() != 0; ++i) harness.pump();
    EXPECT_EQ(harness.server->closing_connections().size(), 0u);
}

// The echoed time is not trusted, a pong for an older ping changes nothing, one minute is the cap;
// each frame restarts the idle clock and silence is closed just after its timeout. (The handshake's
// own limit is checked where a client sends half a frame and falls silent.)
TEST(RelayTimers, PingsMeasureTheRoundTripCappedAtOneMinuteAndSilenceIsClosedJustAfterItsTimeout) {
    ServerHarness harness([](ServerConfig& config) { config.idle_timeout_ms = 100000; });
    auto client = harness.join("Ann");
    const std::tuple<std::uint32_t, std::uint64_t, std::uint32_t, std::uint16_t> steps[] = {
        // ping expected, then ms before the pong, the pong's sequence, the round trip after it
        {1, 37, 1, 37},
        {2, 5, 1, 37},
        {0, 70000, 2, 60000}};
    for (const auto& [ping, wait_ms, pong, round_trip] : steps) {
        if (ping) {
            harness.advance_ms(1001);
            EXPECT_EQ(client->next<net::Ping>(harness.pumper()), (net::Ping{ping, harness.now_us}));
        }
        harness.advance_ms(wait_ms);
        client->send(net::Pong{pong, 12345});
        client->settle(harness.pumper());
        EXPECT_EQ(harness.server->find_client(1)->round_trip_ms, round_trip);
    }
    harness.advance_ms(100000);  // more than the timeout since the client joined
    client->settle(harness.pumper());
    EXPECT_EQ(harness.server->clients().size(), 1u) << "exactly the limit is still allowed";
    harness.now_us += 1;
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_TRUE(client->inbox().back() == net::Message(net::Notice{"timeout"}));
    EXPECT_EQ(harness.stats().timeouts, 1u);
    EXPECT_TRUE(harness.logged("client 1 (Ann) disconnected: timeout"));
}

// A long wait refills the bucket only up to its capacity.
TEST(RateBucket, RefillsUpToItsCapacityOnly) {
    auto bucket = server::RateBucket::full({2, 4}, 0);
    EXPECT_TRUE(bucket.take(4, 100000000));  // capped at capacity, not 204
    EXPECT_FALSE(bucket.take(0.5, 100000000));
}

TEST(TextClean, ControlBytesSpacesAndCharacterBoundaries) {
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {std::string(23, 'a') + "\xC3\xA9", 24, std::string(23, 'a')},
        {std::string(22, 'a') + "\xC3\xA9", 24, std::string(22, 'a') + "\xC3\xA9"},
        {"abc \xE2\x82\xAC", 6, "abc"},
        {"\xFF\x80 x", 24, "\xFF\x80 x"}};
    for (const auto& [in, max, out] : cases) EXPECT_EQ(server::clean_text(in, max), out) << in;
}

}  // namespace
}  // namespace tarkeep::test
