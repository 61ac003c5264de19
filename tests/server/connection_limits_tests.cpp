#include <gtest/gtest.h>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

using server::ServerConfig;

TEST(RelayStart, ListensOnTheChosenPortAndRefusesAPortInUse) {
    ServerHarness first;
    ASSERT_TRUE(first.started);
    const std::uint16_t port = first.server->bound_port();
    EXPECT_NE(port, 0);
    EXPECT_TRUE(first.logged("listening on 127.0.0.1:" + std::to_string(port) + " (protocol 2)"));

    ServerConfig config;
    config.host = "127.0.0.1";
    config.port = port;
    config.quiet = true;
    server::RelayServer second(config);
    std::string error;
    EXPECT_FALSE(second.start(error));
    EXPECT_TRUE(error.starts_with("bind 127.0.0.1:" + std::to_string(port) + " (error ")) << error;
    EXPECT_FALSE(second.listening());
}

TEST(RelayStart, UnresolvableHostAndOverlongMessageOfTheDay) {
    ServerConfig config;
    config.quiet = true;
    config.port = 0;
    config.host = "no such host.invalid";
    std::string error;
    EXPECT_FALSE(server::RelayServer(config).start(error));
    EXPECT_EQ(error, "cannot resolve no such host.invalid");

    config.host = "127.0.0.1";
    config.motd = std::string(201, 'm');
    EXPECT_FALSE(server::RelayServer(config).start(error));
    EXPECT_EQ(error, "message of the day longer than 200 bytes");
}

TEST(RelayStart, MessageOfTheDayAtTheLimitReachesClients) {
    ServerConfig config;
    config.motd = std::string(200, 'm');
    ServerHarness harness(config);
    auto client = harness.connect();
    client->send(net::Hello{net::HELLO_MAGIC, 2, 0, 0, "Ann"});
    const auto welcome = client->next<net::Welcome>(harness.pumper());
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->motd, std::string(200, 'm'));
    EXPECT_EQ(welcome->client_id, 1u);
}

TEST(RelayAccept, ClientBeyondMaxClientsIsRefusedAsFull) {
    ServerConfig config;
    config.max_clients = 2;
    ServerHarness harness(config);
    auto a = harness.connect();
    auto b = harness.connect();
    auto c = harness.connect();
    const auto refused = c->next<net::Refused>(harness.pumper());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, "server full");
    EXPECT_TRUE(c->wait_closed(harness.pumper()));
    EXPECT_TRUE(harness.logged_starting("refused 127.0.0.1:"));
    EXPECT_TRUE(harness.log.back().ends_with(" (full)"));
    EXPECT_EQ(harness.server->clients().size(), 2u);
    EXPECT_EQ(harness.server->stats().connections, 3u);
    EXPECT_EQ(harness.server->stats().refused, 1u);

    // A place frees up when a client leaves.
    a->close();
    for (int i = 0; i < 50 && harness.server->clients().size() == 2; ++i) harness.pump();
    EXPECT_TRUE(harness.logged("client 1 () disconnected: closed by peer"));
    auto d = harness.connect();
    EXPECT_EQ(harness.server->clients().size(), 2u);
    EXPECT_EQ(harness.server->stats().refused, 1u);
}

TEST(RelayAccept, NinthClientFromOneAddressIsRefused) {
    ServerHarness harness;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < 8; ++i) clients.push_back(harness.connect());
    EXPECT_EQ(harness.server->clients().size(), 8u);
    auto ninth = harness.connect();
    const auto refused = ninth->next<net::Refused>(harness.pumper());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, "server full");
    EXPECT_EQ(harness.server->clients().size(), 8u);
    for (const auto& [id, client] : harness.server->clients()) EXPECT_EQ(client->peer_address, "127.0.0.1");
}

TEST(RelayShutdown, ClientsAreToldAndTheServerStopsListening) {
    ServerHarness harness;
    auto client = harness.join("Ann");
    harness.server->shutdown();
    EXPECT_FALSE(harness.server->listening());
    EXPECT_TRUE(harness.server->clients().empty());
    const auto notice = client->next<net::Notice>([] {});
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->text, "server shutting down");
    EXPECT_TRUE(client->wait_closed([] {}));
    harness.server->poll_once(0);  // a stopped server does nothing
}

}  // namespace
}  // namespace tarkeep::test
