// Many clients playing, misbehaving and vanishing at random: the server stays up, within its bounds, and counts right.
#include <chrono>
#include <random>

#include "server_harness.h"

namespace tarkeep::test {
namespace {

// Wall-clock length of the soak. Raise it by hand for a long run; CI keeps it short.
constexpr double SOAK_SECONDS = 2.0;
constexpr std::size_t SOAK_CLIENTS = 100;
// And at least this many rounds, so that a slow host (Wine manages about 10 a second) still
// sees games created, started and played.
constexpr std::uint64_t SOAK_MIN_ROUNDS = 150;

// A client that plays by the rules except when told to misbehave.
struct SoakBot {
    std::unique_ptr<TestClient> client;
    std::uint32_t next_turn = 0;  // 0: not playing
    bool leaving = false;         // sent something that ends the connection
};

TEST(RelaySoak, ManyClientsPlayingMisbehavingAndVanishing) {
    ServerHarness harness(
        [](server::ServerConfig& config) { config.max_clients = config.max_clients_per_address = 1000; });
    std::mt19937 rng{20261206};
    std::uint64_t connections = 0, garbage = 0, bundles_received = 0, rounds = 0;
    std::uint32_t games_seen = 0;
    const auto connect = [&](SoakBot& bot) {
        bot = SoakBot{std::make_unique<TestClient>(harness.server->bound_port())};
        harness.pump();  // the connect blocks until the listener's short backlog has room: keep it drained
        bot.client->send(net::Hello{net::kHelloMagic, 2, 0, 0, "bot" + std::to_string(++connections)});
    };
    const auto act = [&](SoakBot& bot) {
        TestClient& c = *bot.client;
        const std::uint32_t roll = rng() % 1000;
        if (bot.next_turn != 0 && roll < 600) {
            c.send(bundle(bot.next_turn));
            if (bot.next_turn % 4 == 0) c.send(net::HashReport{0, bot.next_turn, bot.next_turn % 7 == 0 ? roll : 1u});
            ++bot.next_turn;
        } else if (roll < 620) {
            c.send(net::CreateGame{"soak", "map", 0, static_cast<std::uint8_t>(2 + rng() % 3), ""});
        } else if (roll < 680) {
            c.send(net::JoinGame{static_cast<std::uint32_t>(1 + rng() % (games_seen + 1))});
        } else if (roll < 790) {
            c.send(roll < 740   ? net::Message(net::SetReady{true})
                   : roll < 770 ? net::Message(net::StartGame{})
                   : roll < 780 ? net::Message(net::ListGames{})
                                : net::Message(net::Chat{"hi"}));
        } else if (roll < 795 && bot.next_turn == 0) {
            c.send(net::LeaveGame{});
        } else if (roll < 798) {  // an unknown type, a zero length or a bundle cut short: kicked
            const net::Bytes frames[] = {
                {2, 0, 0, 0, 99, static_cast<std::uint8_t>(roll)}, {0, 0, 0, 0}, {2, 0, 0, 0, 9, 1}};
            c.send_raw(frames[rng() % 3]);
            ++garbage;
            bot.leaving = true;
        } else if (roll < 800) {
            c.close();  // abruptly, maybe in the middle of nothing in particular
        }
    };
    // Reads what arrived; pings are answered, game starts remembered.
    const auto read = [&](SoakBot& bot) {
        bot.client->read_available();
        for (auto& message : bot.client->inbox()) {
            if (const auto* ping = std::get_if<net::Ping>(&message); ping && !bot.leaving)
                bot.client->send(net::Pong{ping->sequence, ping->time});
            else if (const auto* start = std::get_if<net::GameStart>(&message))
                bot.next_turn = start->params.first_turn;
            else if (const auto* lobby = std::get_if<net::LobbyState>(&message))
                games_seen = std::max(games_seen, lobby->game_id);
            bundles_received += std::holds_alternative<net::TurnBundle>(message);
        }
        bot.client->inbox().clear();
    };

    std::vector<SoakBot> bots(SOAK_CLIENTS);
    for (auto& bot : bots) connect(bot);
    const auto stop_at = std::chrono::steady_clock::now() + std::chrono::duration<double>(SOAK_SECONDS);
    const std::uint64_t limit = harness.server->config().connection_buffer_limit;
    while (rounds < SOAK_MIN_ROUNDS || std::chrono::steady_clock::now() < stop_at) {
        harness.tick_ms(5);
        for (auto& bot : bots) {
            read(bot);
            if (!bot.client->connected() || bot.client->peer_closed()) {
                connect(bot);
            } else if (!bot.leaving) {
                act(bot);
            }
        }
        if (++rounds % 50 == 0) {  // memory stays bounded per connection and in all
            for (auto& [id, session] : harness.server->clients()) {
                ASSERT_LE(session->connection.frames().input_capacity_used(), limit + 65536);
                ASSERT_LE(session->connection.unsent_size(), limit);
            }
            ASSERT_LE(harness.server->clients().size(), SOAK_CLIENTS * 2);
        }
        ASSERT_TRUE(harness.server->listening());
    }
    for (auto& bot : bots) bot.client->close();
    for (int i = 0; i < 200 && !harness.server->clients().empty(); ++i) harness.pump();

    harness.tick_ms(1000);  // lines folded in the last second come out in the next
    const auto log_count = [&](const std::string& part) {
        const Tally lines = tally(harness.log, part);
        return lines.first + lines.second;
    };
    const server::ServerStats& stats = harness.stats();
    EXPECT_TRUE(harness.server->clients().empty());
    EXPECT_TRUE(harness.server->games().empty());
    EXPECT_EQ(std::tuple(stats.connections, log_count(") disconnected: ")), std::tuple(connections, connections));
    EXPECT_EQ(stats.refused + stats.rate_limit_kicks + stats.timeouts, 0u);
    EXPECT_EQ(stats.protocol_kicks,
              log_count("disconnected: protocol error") + log_count("disconnected: invalid frame length"));
    EXPECT_LE(stats.protocol_kicks, garbage);
    EXPECT_GT(stats.protocol_kicks, 0u);
    EXPECT_EQ(stats.games, log_count(" players"));
    EXPECT_EQ(stats.games_created, log_count(" created by "));
    EXPECT_EQ(stats.drops, log_count(") dropped after turn "));
    EXPECT_EQ(stats.hash_mismatches, log_count(": hashes differ at tick "));
    EXPECT_GT(stats.games, 0u);
    EXPECT_GT(stats.bundles_relayed, 0u);
    EXPECT_LE(bundles_received, stats.bundles_relayed * 7);
}

}  // namespace
}  // namespace tarkeep::test
