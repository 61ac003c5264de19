// What peers on an open port can do to the server: squat, blind, flood, vanish together.
#include <gtest/gtest.h>

#include <future>

#include "platform/clock.h"
#include "platform/net.h"
#include "server/closing_connections.h"
#include "server/log_queue.h"
#include "server/output_queue.h"
#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

TEST(RelayHostile, WhenFullASilentConnectionOlderThanASecondGivesWay) {
    ServerConfig config;
    config.max_clients = 2;
    ServerHarness h(config);
    auto silent = h.connect();
    auto named = h.join("Ann");
    auto early = h.connect();
    EXPECT_EQ(early->next<net::Refused>(h.pumper()), net::Refused{"server full"});
    h.advance_ms(1001);
    auto late = h.connect();
    EXPECT_EQ(silent->next<net::Notice>(h.pumper()), net::Notice{"handshake timeout"});
    late->send(net::Hello{net::kHelloMagic, 2, 0, 0, "Bo"});
    EXPECT_TRUE(late->next<net::Welcome>(h.pumper()));
    EXPECT_EQ(std::make_tuple(h.stats().timeouts, h.stats().refused, h.server->clients().size()),
              std::make_tuple(1u, 1u, 2u));
}

TEST(RelayHostile, PlayersClosingInOneStepAreEachCountedAsDropped) {
    RunningGame table(4);
    for (auto& player : table.players) player->close();
    for (int i = 0; i < 50 && !table.harness.server->clients().empty(); ++i) table.harness.pump();
    EXPECT_EQ(table.stats().drops, 4u);
    EXPECT_TRUE(table.harness.server->games().empty());
}

TEST(RelayHostile, MadeUpTicksNeitherEvictRealOnesNorHideMismatches) {
    RunningGame table(3);
    for (std::uint32_t i = 0; i < 64; ++i) table[2].send(net::HashReport{0, 0xFFFFFF00u + i, 1});
    table[0].send(net::HashReport{0, 100, 7});
    table[1].send(net::HashReport{0, 100, 8});
    for (int i = 0; i < 50 && table.stats().hash_reports < 66; ++i) table.harness.pump();
    EXPECT_EQ(table.stats().hash_mismatches, 1u);
    EXPECT_TRUE(table.harness.logged("game 1: hashes differ at tick 100"));
}

// The delay queue fills before the bad length is cut: with 20 pongs the bad length waits behind
// frames in the input and is found when they move on; with 14 the queue is full just before it,
// and the next bytes received find it at once.
TEST(RelayHostile, InvalidFrameBehindDelayedOnesIsAKickUnderLineSimulationToo) {
    for (const std::uint32_t pongs : {20u, 14u}) {
        ServerConfig config;
        config.line_sim.latency_ms = 50;
        config.connection_buffer_limit = 256;
        ServerHarness h(config);
        auto client = h.connect();
        std::vector<net::Message> messages{net::Hello{net::kHelloMagic, 2, 0, 0, "Ann"}};
        for (std::uint32_t i = 0; i < pongs; ++i) messages.push_back(net::Pong{i, 0});
        net::Bytes bytes = framed(messages);
        bytes.insert(bytes.end(), {0x70, 0x11, 0x01, 0x00});  // 70000
        client->send_raw(bytes);
        client->settle(h.pumper());
        if (pongs == 14) {
            ASSERT_EQ(bytes.size() - 4, 34u + 14 * 17) << "the queue must be just full";
            client->send_raw({0});
        } else {
            h.advance_ms(100);
        }
        client->settle(h.pumper());
        // Found at once, the kick comes before the delayed Hello names the client.
        const std::string name = pongs == 14 ? "" : "Ann";
        EXPECT_TRUE(h.logged("client 1 (" + name + ") disconnected: invalid frame length 70000")) << pongs;
        EXPECT_EQ(h.stats().protocol_kicks, 1u);
    }
}

TEST(RelayHostile, AClientClosedWithUnreadInputHearsItsNoticeAndAnOrderlyEnd) {
    ServerConfig config;
    config.connection_buffer_limit = 1000;  // reading pauses with most of the frame unread
    ServerHarness h(config);
    auto client = h.connect();
    net::Bytes partial(50004, 0);
    partial[0] = 0x60, partial[1] = 0xEA;  // a 60000-byte frame, never completed
    client->send_raw(partial);
    client->settle(h.pumper());
    h.advance_ms(5001);
    EXPECT_EQ(client->next<net::Notice>(h.pumper()), net::Notice{"handshake timeout"});
    EXPECT_TRUE(client->wait_closed(h.pumper()));
    EXPECT_FALSE(client->reset());
    EXPECT_EQ(h.server->closing_connections().size(), 1u);  // drains until the peer closes
    client->close();
    for (int i = 0; i < 50 && h.server->closing_connections().size() != 0; ++i) h.pump();
    EXPECT_EQ(h.server->closing_connections().size(), 0u);
}

TEST(RelayHostile, FortySimultaneousConnectsAreAllAccepted) {
    ServerConfig config;
    config.max_clients_per_address = 64;
    ServerHarness h(config);
    std::vector<std::unique_ptr<TestClient>> clients;  // none accepted while they connect
    for (int i = 0; i < 40; ++i) clients.push_back(std::make_unique<TestClient>(h.server->bound_port()));
    for (int i = 0; i < 20 && h.server->clients().size() < 40; ++i) h.pump();
    EXPECT_EQ(h.server->clients().size(), 40u);
}

// Peers that never close cannot pile up draining connections: past the cap the oldest is closed.
TEST(ClosingConnections, TheOldestIsClosedWhenTooManyDrain) {
    std::string error;
    platform::Socket listener;
    std::uint16_t port = 0;
    ASSERT_TRUE(platform::network_start(error) && platform::listen_tcp("127.0.0.1", 0, listener, port, error)) << error;
    server::ClosingConnections closing(60000000, 2);
    std::vector<std::unique_ptr<TestClient>> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(std::make_unique<TestClient>(port));
        platform::Socket socket;
        std::string peer;
        int code = 0;
        for (int wait = 0;
             wait < 500 && platform::accept_tcp(listener, socket, peer, code) != platform::AcceptStatus::accepted;
             ++wait)
            platform::sleep_milliseconds(1);
        closing.add(server::Connection(std::move(socket), 1000), 0);
    }
    EXPECT_EQ(closing.size(), 2u);
    closing.service(59999999);
    EXPECT_EQ(closing.size(), 2u);
    closing.service(60000000);  // out of time
    EXPECT_EQ(closing.size(), 0u);
    platform::network_stop();
}

TEST(LogQueue, ASlowStreamLosesCountedLinesAndAGoneOneEndsLogging) {
    std::promise<void> entered, release;
    const std::shared_future<void> released = release.get_future().share();
    std::vector<std::string> written;
    const auto plain = [](std::string_view text) { return std::string(text); };
    server::LogQueue queue(
        [&](std::string_view line) {
            if (written.empty() && line == "a") entered.set_value(), released.wait();
            written.emplace_back(line);
            return true;
        },
        plain, 3);
    queue.push("a");
    entered.get_future().wait();  // the writer is stuck on "a"
    for (const char* text : {"b", "c", "d", "e", "f"}) queue.push(text);
    EXPECT_EQ(queue.dropped(), 2u);
    release.set_value();
    ASSERT_TRUE(queue.flush(60000));
    EXPECT_EQ(written, (std::vector<std::string>{"a", "b", "c", "d", "2 log lines dropped (output too slow)"}));

    int calls = 0;
    server::LogQueue gone([&](std::string_view) { return ++calls, false; }, plain, 8);
    gone.push("x");
    gone.flush(60000);
    gone.push("y");
    EXPECT_TRUE(gone.flush(60000) && gone.stream_gone());
    EXPECT_EQ(calls, 1);
}

TEST(OutputQueue, ReceiversShareOneFrameAndEachOwesOnlyItsOwnRest) {
    const server::SharedFrame frame = server::make_frame(net::Bytes{1, 2, 3});
    EXPECT_EQ(*frame, (net::Bytes{3, 0, 0, 0, 1, 2, 3}));
    server::OutputQueue slow, fast;
    ASSERT_TRUE(slow.append(frame, 14) && slow.append(frame, 14) && fast.append(frame, 14));
    EXPECT_EQ(frame.use_count(), 4);  // no copies
    EXPECT_FALSE(slow.append(frame, 20)) << "21 bytes owed would pass the limit";
    fast.mark_sent(7);
    EXPECT_EQ(std::make_tuple(frame.use_count(), fast.unsent_size(), slow.unsent_size()),
              std::make_tuple(3l, 0ul, 14ul));
    slow.mark_sent(2);
    std::array<std::span<const std::uint8_t>, 4> parts;
    ASSERT_EQ(slow.gather(parts), 2u);
    EXPECT_EQ(net::Bytes(parts[0].begin(), parts[0].end()), (net::Bytes{0, 0, 1, 2, 3}));
    EXPECT_EQ(parts[1].size(), 7u);
    slow.mark_sent(9);  // across the frame boundary
    ASSERT_EQ(slow.gather(parts), 1u);
    EXPECT_EQ(net::Bytes(parts[0].begin(), parts[0].end()), (net::Bytes{1, 2, 3}));
    EXPECT_EQ(slow.unsent_size(), 3u);
}

}  // namespace
}  // namespace tarkeep::test
