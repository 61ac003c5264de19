#include <gtest/gtest.h>

#include "server/text_clean.h"
#include "server_harness.h"

namespace tarkeep::test {
namespace {

TEST(RelayHandshake, WelcomeCarriesTheIdAndTheNameIsCleaned) {
    server::ServerConfig config;
    config.motd = "hello there";
    ServerHarness harness(config);
    auto first = harness.join("Bo");
    auto client = harness.connect();
    client->send(net::Hello{net::HELLO_MAGIC, 2, 0x0123456789ABCDEFull, 7, "  \tAnn\x7f  "});
    const auto welcome = client->next<net::Welcome>(harness.pumper());
    ASSERT_TRUE(welcome);
    EXPECT_EQ(*welcome, (net::Welcome{2, 2, "hello there"}));
    const auto* session = harness.server->find_client(2);
    EXPECT_EQ(session->name, "Ann");
    EXPECT_EQ(session->data_hash, 7u);
    EXPECT_TRUE(harness.logged("client 2 connected from " + session->peer));
    EXPECT_TRUE(harness.logged("client 2 is 'Ann' (build 01234567)"));
    EXPECT_EQ(harness.server->stats().handshakes, 2u);
}

TEST(RelayHandshake, RefusalsAndKicks) {
    struct Case {
        const char* name;
        net::Message first;
        std::optional<std::string> refused;  // Refused text, else a Notice
        std::string notice_or_reason;
        std::uint64_t protocol_kicks;
    };
    net::Hello wrong_magic;
    wrong_magic.magic = 0x12345678;
    wrong_magic.name = "Ann";
    const Case cases[] = {
        {"ping first", net::Ping{1, 2}, std::nullopt, "expected hello", 1},
        {"wrong magic", wrong_magic, std::nullopt, "expected hello", 1},
        {"version 3", net::Hello{net::HELLO_MAGIC, 3, 0, 0, "Ann"}, "protocol version 3 not supported (server: 2)",
         "protocol version", 0},
        {"blank name", net::Hello{net::HELLO_MAGIC, 2, 0, 0, " \x01\x1f "}, "empty player name", "empty name", 0},
    };
    for (const Case& c : cases) {
        ServerHarness harness;
        auto client = harness.connect();
        client->send(c.first);
        EXPECT_TRUE(client->wait_closed(harness.pumper())) << c.name;
        ASSERT_EQ(client->inbox().size(), 1u) << c.name;
        if (c.refused) {
            EXPECT_EQ(std::get<net::Refused>(client->inbox().front()).text, *c.refused) << c.name;
            EXPECT_TRUE(harness.logged("client 1 () disconnected: " + c.notice_or_reason)) << c.name;
        } else {
            EXPECT_EQ(std::get<net::Notice>(client->inbox().front()).text, c.notice_or_reason) << c.name;
        }
        EXPECT_EQ(harness.server->stats().protocol_kicks, c.protocol_kicks) << c.name;
        EXPECT_EQ(harness.server->stats().handshakes, 0u) << c.name;
    }
}

TEST(RelayHandshake, MessagesAClientMayNotSendBeforeAGameRuns) {
    struct Case {
        net::Message message;
        const char* notice;
    };
    const Case cases[] = {
        {net::TurnBundle{}, "game message outside a running game"},
        {net::HashReport{}, "game message outside a running game"},
        {net::GameSignal{}, "game message outside a running game"},
        {net::Hello{}, "unexpected message"},
        {net::Welcome{}, "unexpected message"},
        {net::Notice{"hi"}, "unexpected message"},
    };
    for (const Case& c : cases) {
        ServerHarness harness;
        auto client = harness.join("Ann");
        client->send(c.message);
        const auto notice = client->next<net::Notice>(harness.pumper());
        ASSERT_TRUE(notice) << c.notice;
        EXPECT_EQ(notice->text, c.notice);
        EXPECT_TRUE(client->wait_closed(harness.pumper()));
        EXPECT_EQ(harness.server->stats().protocol_kicks, 1u);
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

}  // namespace
}  // namespace tarkeep::test
