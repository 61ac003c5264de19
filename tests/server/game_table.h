#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server_harness.h"

namespace tarkeep::test {

// Skips whatever arrives before the first message of type T (lobby states, pings ...).
template <typename T>
std::optional<T> skip_to(TestClient& client, const TestClient::Pump& pump, int max_messages = 50) {
    for (int i = 0; i < max_messages; ++i) {
        auto message = client.next_message(pump);
        if (!message) return std::nullopt;
        if (auto* wanted = std::get_if<T>(&*message)) return std::move(*wanted);
    }
    return std::nullopt;
}

inline net::CreateGame game_request(std::uint8_t max_players = 8) {
    return net::CreateGame{"Duel", "Riverlands", 77, max_players, "speed=2"};
}

// A server with players seated in one game: the first creates it, the others join.
struct GameTable {
    explicit GameTable(std::size_t count, server::ServerConfig config = {}) : harness(std::move(config)) {
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
        net::LockstepParams params;
        params.first_turn = first_turn;
        players[0]->send(net::StartGame{params});
        std::vector<net::GameStart> starts;
        for (auto& player : players) {
            auto start = skip_to<net::GameStart>(*player, pump());
            EXPECT_TRUE(start);
            if (start) starts.push_back(*start);
        }
        return starts;
    }

    void drain() {
        for (auto& player : players) player->settle(pump(), 2);
        for (auto& player : players) player->inbox().clear();
    }

    ServerHarness harness;
    std::vector<std::unique_ptr<TestClient>> players;
};

inline net::TurnBundle bundle(std::uint32_t turn, std::uint8_t claimed_player = 0) {
    net::TurnBundle b;
    b.player_id = claimed_player;
    b.turn = turn;
    b.extra_byte = 5;
    b.extra_word = 600;
    net::Command move;
    move.kind = 3;
    move.target_x = -1000;
    move.units = {11, 12};
    b.commands.push_back(move);
    return b;
}

}  // namespace tarkeep::test
