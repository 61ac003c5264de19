// Many clients playing, misbehaving and vanishing at random: the server stays up, within its bounds, and counts right.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <random>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

// Wall-clock length of the soak. Raise it by hand for a long run; CI keeps it short.
constexpr double SOAK_SECONDS = 2.0;
constexpr std::size_t SOAK_CLIENTS = 100;

// A client that plays by the rules except when told to misbehave.
struct SoakBot {
    std::unique_ptr<TestClient> client;
    std::uint32_t next_turn = 0;  // 0: not playing
    bool leaving = false;         // sent something that ends the connection
};

class Soak {
public:
    Soak() : harness(soak_config()) {}

    static server::ServerConfig soak_config() {
        server::ServerConfig config;
        config.max_clients = 1000;
        config.max_clients_per_address = 1000;
        return config;
    }

    void connect(SoakBot& bot) {
        bot = SoakBot{std::make_unique<TestClient>(harness.server->bound_port())};
        ++connections;
        // The connect blocks until the listener's short backlog has room: keep it drained.
        harness.pump();
        bot.client->send(net::Hello{net::kHelloMagic, 2, 0, 0, "bot" + std::to_string(connections)});
    }

    void act(SoakBot& bot) {
        TestClient& c = *bot.client;
        const unsigned roll = random() % 1000;
        if (bot.next_turn != 0 && roll < 600) {
            c.send(bundle(bot.next_turn));
            if (bot.next_turn % 4 == 0) c.send(net::HashReport{0, bot.next_turn, bot.next_turn % 7 == 0 ? roll : 1u});
            ++bot.next_turn;
        } else if (roll < 620) {
            c.send(net::CreateGame{"soak", "map", 0, static_cast<std::uint8_t>(2 + random() % 3), ""});
        } else if (roll < 680) {
            c.send(net::JoinGame{static_cast<std::uint32_t>(1 + random() % (games_seen + 1))});
        } else if (roll < 740) {
            c.send(net::SetReady{true});
        } else if (roll < 770) {
            c.send(net::StartGame{});
        } else if (roll < 780) {
            c.send(net::ListGames{});
        } else if (roll < 790) {
            c.send(net::Chat{"hi"});
        } else if (roll < 795 && bot.next_turn == 0) {
            c.send(net::LeaveGame{});
        } else if (roll < 798) {  // an unknown type, a zero length or a bundle cut short: kicked
            const net::Bytes frames[] = {
                {2, 0, 0, 0, 99, static_cast<std::uint8_t>(roll)}, {0, 0, 0, 0}, {2, 0, 0, 0, 9, 1}};
            c.send_raw(frames[random() % 3]);
            ++garbage;
            bot.leaving = true;
        } else if (roll < 800) {
            c.close();  // abruptly, maybe in the middle of nothing in particular
        }
    }

    // Reads what arrived; pings are answered, game starts remembered.
    void read(SoakBot& bot) {
        TestClient& c = *bot.client;
        c.read_available();
        for (auto& message : c.inbox()) {
            if (const auto* ping = std::get_if<net::Ping>(&message)) {
                if (!bot.leaving) c.send(net::Pong{ping->sequence, ping->time});
            } else if (const auto* start = std::get_if<net::GameStart>(&message)) {
                bot.next_turn = start->params.first_turn;
            } else if (const auto* lobby = std::get_if<net::LobbyState>(&message)) {
                games_seen = std::max(games_seen, lobby->game_id);
            } else if (std::holds_alternative<net::TurnBundle>(message)) {
                ++bundles_received;
            }
        }
        c.inbox().clear();
    }

    void check_bounds() {
        const std::uint64_t limit = harness.server->config().connection_buffer_limit;
        for (auto& [id, session] : harness.server->clients()) {
            auto& frames = session->connection.frames();
            ASSERT_LE(frames.input_capacity_used(), limit + 65536);
            ASSERT_LE(session->connection.unsent_size(), limit);
        }
        ASSERT_LE(harness.server->clients().size(), SOAK_CLIENTS * 2);
    }

    std::uint64_t log_count(const std::string& part) const {
        return std::ranges::count_if(harness.log,
                                     [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }

    std::uint32_t random() { return static_cast<std::uint32_t>(rng()); }

    ServerHarness harness;
    std::mt19937 rng{20261206};
    std::uint64_t connections = 0;
    std::uint64_t garbage = 0;
    std::uint64_t bundles_received = 0;
    std::uint32_t games_seen = 0;
};

TEST(RelaySoak, ManyClientsPlayingMisbehavingAndVanishing) {
    Soak soak;
    std::vector<SoakBot> bots(SOAK_CLIENTS);
    for (auto& bot : bots) soak.connect(bot);
    const auto stop_at = std::chrono::steady_clock::now() + std::chrono::duration<double>(SOAK_SECONDS);
    std::uint64_t rounds = 0;
    while (std::chrono::steady_clock::now() < stop_at) {
        soak.harness.advance_ms(5);
        soak.harness.pump();
        for (auto& bot : bots) {
            soak.read(bot);
            if (!bot.client->connected() || bot.client->peer_closed()) {
                soak.connect(bot);
            } else if (!bot.leaving) {
                soak.act(bot);
            }
        }
        if (++rounds % 50 == 0) soak.check_bounds();
        ASSERT_TRUE(soak.harness.server->listening());
    }
    for (auto& bot : bots) bot.client->close();
    for (int i = 0; i < 200 && !soak.harness.server->clients().empty(); ++i) soak.harness.pump();

    const server::ServerStats& stats = soak.harness.stats();
    EXPECT_TRUE(soak.harness.server->clients().empty());
    EXPECT_TRUE(soak.harness.server->games().empty());
    EXPECT_EQ(stats.connections, soak.connections);
    EXPECT_EQ(stats.refused, 0u);
    EXPECT_EQ(soak.log_count(") disconnected: "), soak.connections);
    EXPECT_EQ(stats.protocol_kicks,
              soak.log_count("disconnected: protocol error") + soak.log_count("disconnected: invalid frame length"));
    EXPECT_LE(stats.protocol_kicks, soak.garbage);
    EXPECT_GT(stats.protocol_kicks, 0u);
    EXPECT_EQ(stats.rate_limit_kicks + stats.timeouts, 0u);
    EXPECT_EQ(stats.games, soak.log_count(" players"));
    EXPECT_EQ(stats.games_created, soak.log_count(" created by "));
    EXPECT_EQ(stats.drops, soak.log_count(") dropped after turn "));
    EXPECT_EQ(stats.hash_mismatches, soak.log_count(": hashes differ at tick "));
    EXPECT_GT(stats.games, 0u);
    EXPECT_GT(stats.bundles_relayed, 0u);
    EXPECT_LE(soak.bundles_received, stats.bundles_relayed * 7);
    std::cout << "soak: " << rounds << " rounds, " << stats.connections << " connections, " << stats.games << " games, "
              << stats.bundles_relayed << " bundles relayed, " << stats.protocol_kicks << " kicked\n";
}

}  // namespace
}  // namespace tarkeep::test
