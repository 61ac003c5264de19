#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/relay_server.h"
#include "tests/support/test_client.h"

namespace tarkeep::test {

// An in-process relay server on an ephemeral loopback port, with a clock the test moves
// by hand and the log captured; `configure` may change the configuration, the log sink excepted.
class ServerHarness {
public:
    explicit ServerHarness(const std::function<void(server::ServerConfig&)>& configure = {}) {
        server::ServerConfig config;
        config.host = "127.0.0.1";
        config.port = 0;
        if (configure) configure(config);
        config.log_sink = [this](const std::string& line) { log.push_back(line); };
        server = std::make_unique<server::RelayServer>(std::move(config), [this] { return now_us; });
        std::string error;
        EXPECT_TRUE(server->start(error)) << error;
    }

    void pump() { server->poll_once(1); }
    TestClient::Pump pumper() {
        return [this] { pump(); };
    }
    void advance_ms(std::uint64_t ms) { now_us += ms * 1000; }
    void tick_ms(std::uint64_t ms) { advance_ms(ms), pump(); }
    const server::ServerStats& stats() const { return server->stats(); }

    // A client the server has already accepted.
    std::unique_ptr<TestClient> connect() {
        auto client = std::make_unique<TestClient>(server->bound_port());
        EXPECT_TRUE(client->connected()) << client->connect_error();
        const std::uint64_t before = server->stats().connections;
        for (int i = 0; i < 200 && server->stats().connections == before; ++i) pump();
        return client;
    }

    // A client past the handshake; its Welcome is consumed.
    std::unique_ptr<TestClient> join(const std::string& name, std::uint64_t build = 0, std::uint64_t data = 0) {
        auto client = connect();
        client->send(net::Hello{net::kHelloMagic, 2, build, data, name});
        EXPECT_TRUE(client->next<net::Welcome>(pumper())) << "no welcome for " << name;
        return client;
    }

    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

    std::uint64_t now_us = 1000000;
    std::vector<std::string> log;
    std::unique_ptr<server::RelayServer> server;
};

// The log lines holding `marker`, and the sum of the N of those that end "... and N more like it".
using Tally = std::pair<std::size_t, std::uint64_t>;
inline Tally tally(const std::vector<std::string>& log, const std::string& marker) {
    Tally result{0, 0};
    for (const std::string& line : log) {
        const std::size_t at = line.rfind(" ... and ");
        const bool folded = line.ends_with(" more like it") && at != std::string::npos;
        if (line.find(marker) != std::string::npos)
            result = {result.first + 1, result.second + (folded ? std::stoull(line.substr(at + 9)) : 0)};
    }
    return result;
}

inline net::CreateGame game_request(std::uint8_t max_players = 8) {
    return net::CreateGame{"Duel", "Riverlands", 77, max_players, "speed=2"};
}

// A server with players seated in one game: the first creates it, the others join.
struct GameTable {
    explicit GameTable(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) players.push_back(harness.join("P" + std::to_string(i + 1)));
        players[0]->send(game_request());
        EXPECT_TRUE(skip_to<net::LobbyState>(*players[0], pump()));
        for (std::size_t i = 1; i < count; ++i) {
            players[i]->send(net::JoinGame{1});
            EXPECT_TRUE(skip_to<net::LobbyState>(*players[i], pump()));
        }
    }

    TestClient::Pump pump() { return harness.pumper(); }
    TestClient& operator[](std::size_t i) { return *players[i]; }

    // Everybody ready, the host starts; returns each player's GameStart.
    std::vector<net::GameStart> start(std::uint8_t first_turn = 2) {
        for (auto& player : players) player->send(net::SetReady{true});
        harness.pump();
        players[0]->send(net::StartGame{{.first_turn = first_turn}});
        std::vector<net::GameStart> starts;  // a missing start shows as a default one
        for (auto& player : players)
            starts.push_back(skip_to<net::GameStart>(*player, pump()).value_or(net::GameStart{}));
        return starts;
    }

    // Started (or not) and everything that arrived so far read and thrown away.
    void drain() {
        for (auto& player : players) player->settle(pump(), 2);
        for (auto& player : players) player->inbox().clear();
    }

    ServerHarness harness;
    std::vector<std::unique_ptr<TestClient>> players;
};

// The frames of `messages`, back to back as one stream.
inline net::Bytes framed(const std::vector<net::Message>& messages) {
    net::FrameBuffers buffers;
    for (const auto& message : messages) buffers.append_frame(net::encode_message(message), ~0ull);
    const auto bytes = buffers.unsent();
    return net::Bytes(bytes.begin(), bytes.end());
}

inline net::TurnBundle bundle(std::uint32_t turn, std::uint8_t claimed_player = 0) {
    return net::TurnBundle{claimed_player, turn, 5, 600, {{.kind = 3, .target_x = -1000, .units = {11, 12}}}};
}

}  // namespace tarkeep::test
