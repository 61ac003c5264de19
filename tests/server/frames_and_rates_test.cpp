// Frames on the wire and the limits on them: lengths, rates, output that cannot drain.
#include <gtest/gtest.h>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

const net::Hello ann_hello{net::kHelloMagic, 2, 0, 0, "Ann"};

TEST(RelayFrames, InvalidLengthClosesWithoutNoticeAndUndecodableFrameGetsOne) {
    struct Case {
        net::Bytes bytes;
        std::size_t notices;
        std::string text;
    };
    const Case cases[] = {
        {{0x70, 0x11, 0x01, 0x00}, 0, "invalid frame length 70000"},  // and nothing of the body yet
        {{1, 0, 0, 0, 99}, 1, "protocol error: protocol: unknown message type 99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ServerHarness harness;
        auto client = harness.connect();
        client->send_raw(c.bytes);
        EXPECT_TRUE(client->wait_closed(harness.pumper()));
        ASSERT_EQ(client->inbox().size(), c.notices);
        if (c.notices) {
            EXPECT_EQ(std::get<net::Notice>(client->inbox().front()).text, c.text);
        }
        EXPECT_TRUE(harness.logged("client 1 () disconnected: " + c.text));
        EXPECT_EQ(harness.stats().protocol_kicks, 1u);
    }
}

TEST(RelayFrames, FrameSplitOverManyReadsIsHandledOnceComplete) {
    ServerHarness harness;
    auto client = harness.connect();
    const net::Bytes hello = framed({ann_hello});
    for (std::size_t i = 0; i + 1 < hello.size(); ++i) {
        client->send_raw({hello[i]});
        client->settle(harness.pumper(), 1);
        ASSERT_TRUE(client->inbox().empty()) << "answered after byte " << i;
    }
    client->send_raw({hello.back()});
    EXPECT_TRUE(client->next<net::Welcome>(harness.pumper()));
    EXPECT_EQ(harness.stats().frames_received, 1u);
    EXPECT_EQ(harness.stats().bytes_received, hello.size());
}

// Many frames in one read are handled in order until the frame or byte allowance runs out;
// the clock stands still, so no tokens come back.
TEST(RelayRates, ABurstIsAnsweredUntilItsFrameOrByteAllowanceRunsOut) {
    const std::size_t hello_bytes = framed({ann_hello}).size(), ping_bytes = framed({net::Ping{1, 0}}).size();
    const std::pair<server::RateLimit, std::size_t> cases[] = {{ServerConfig{}.byte_rate, 599},  // 600 frames
                                                               {{1000, 2000}, (2000 - hello_bytes) / ping_bytes}};
    for (const auto& [byte_rate, pongs] : cases) {
        ServerConfig config;
        config.byte_rate = byte_rate;  // counts frames with their headers
        ServerHarness harness(config);
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

TEST(RelayRates, TokensComeBackWithTime) {
    ServerConfig config;
    config.message_rate = {10, 3};
    config.ping_interval_ms = 60000;  // keep server pings out of the exchange
    ServerHarness harness(config);
    auto client = harness.join("Ann");  // the Hello took one token
    client->send(net::Ping{1, 0});
    client->send(net::Ping{2, 0});
    EXPECT_TRUE(client->next<net::Pong>(harness.pumper()));
    EXPECT_TRUE(client->next<net::Pong>(harness.pumper()));
    harness.advance_ms(100);  // one token back at 10 per second
    client->send(net::Ping{3, 0});
    EXPECT_TRUE(client->next<net::Pong>(harness.pumper()));
    client->send(net::Ping{4, 0});
    EXPECT_EQ(client->next<net::Notice>(harness.pumper()), net::Notice{"rate limit exceeded"});
}

TEST(RateBucket, RefillsUpToCapacityAndUnlimitedWhenRateIsZero) {
    auto bucket = server::RateBucket::full({2, 4}, 0);
    EXPECT_TRUE(bucket.take(4, 0));
    EXPECT_FALSE(bucket.take(1, 0));
    EXPECT_FALSE(bucket.take(1, 499999));  // 0.999998 tokens: still short
    EXPECT_DOUBLE_EQ(bucket.tokens, 0.999998);
    EXPECT_TRUE(bucket.take(1, 500000));
    EXPECT_TRUE(bucket.take(4, 100000000));  // capped at capacity, not 200
    EXPECT_FALSE(bucket.take(0.5, 100000000));
    auto unlimited = server::RateBucket::full({0, 0}, 0);
    EXPECT_TRUE(unlimited.take(1e12, 0));
}

TEST(RelayOutput, PeerThatCannotKeepUpIsDroppedWithoutNotice) {
    ServerConfig config;
    config.connection_buffer_limit = 1000;
    ServerHarness harness(config);
    auto client = harness.join("Ann");
    auto& session = *harness.server->find_client(1);
    int queued = 0;
    for (; queued < 20 && !session.closing; ++queued)
        harness.server->send_to(session, net::Notice{std::string(150, 'n')});
    EXPECT_EQ(queued, 7) << "six notices of 159 bytes fit in 1000, the seventh does not";
    EXPECT_EQ(session.close_reason, "too slow (output buffer full)");
    EXPECT_TRUE(client->wait_closed(harness.pumper()));
    EXPECT_EQ(client->inbox().size(), 6u);  // what was queued before the overflow still goes out
    EXPECT_TRUE(harness.logged("client 1 (Ann) disconnected: too slow (output buffer full)"));
    EXPECT_EQ(harness.stats().protocol_kicks + harness.stats().rate_limit_kicks, 0u);
}

TEST(RelayOutput, UnencodableMessageIsDroppedAndTheServerGoesOn) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    auto& session = *harness.server->find_client(1);
    EXPECT_NO_THROW(harness.server->send_to(session, net::Notice{std::string(300, 'x')}));
    EXPECT_FALSE(session.closing);
    EXPECT_TRUE(harness.logged("client 1: message type 75 not sent: protocol: text field too long"));
    client->send(net::Ping{5, 6});
    EXPECT_EQ(client->next<net::Pong>(harness.pumper()), (net::Pong{5, 6}));

    // An overlong close reason is still delivered, cut to the wire limit.
    EXPECT_NO_THROW(harness.server->close_client(session, std::string(250, 'r'), true));
    EXPECT_EQ(client->next<net::Notice>(harness.pumper()), net::Notice{std::string(200, 'r')});
}

}  // namespace
}  // namespace tarkeep::test
