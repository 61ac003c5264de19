#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "server/relay_server.h"
#include "tests/support/test_client.h"

namespace tarkeep::test {

// An in-process relay server on an ephemeral loopback port, with a clock the test moves
// by hand and the log captured.
class ServerHarness {
public:
    explicit ServerHarness(server::ServerConfig config = {}) {
        config.host = "127.0.0.1";
        config.port = 0;
        config.log_sink = [this](const std::string& line) { log.push_back(line); };
        server = std::make_unique<server::RelayServer>(std::move(config), [this] { return now_us; });
        std::string error;
        started = server->start(error);
        EXPECT_TRUE(started) << error;
    }

    void pump() { server->poll_once(1); }
    TestClient::Pump pumper() {
        return [this] { pump(); };
    }
    void advance_ms(std::uint64_t ms) { now_us += ms * 1000; }

    // A client the server has already accepted.
    std::unique_ptr<TestClient> connect() {
        auto client = std::make_unique<TestClient>(server->bound_port());
        EXPECT_TRUE(client->connected()) << client->connect_error();
        const std::uint64_t before = server->stats().connections;
        for (int i = 0; i < 200 && server->stats().connections == before; ++i) pump();
        return client;
    }

    // A client past the handshake; its Welcome is consumed.
    std::unique_ptr<TestClient> join(const std::string& name) {
        auto client = connect();
        net::Hello hello;
        hello.name = name;
        client->send(hello);
        const auto welcome = client->next<net::Welcome>(pumper());
        EXPECT_TRUE(welcome.has_value()) << "no welcome for " << name;
        return client;
    }

    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    bool logged_starting(const std::string& prefix) const {
        return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.starts_with(prefix); });
    }

    std::uint64_t now_us = 1000000;
    std::vector<std::string> log;
    std::unique_ptr<server::RelayServer> server;
    bool started = false;
};

}  // namespace tarkeep::test
