// The Windows relay server, run under Wine, serving a client that runs natively: the
// handshake, a lobby and a relayed bundle cross a real loopback connection between the
// two socket layers. Runs only where the cross-built server is named (the environment
// variable TARKEEP_WINE_SERVER or the CMake cache variable TARKEEP_WINDOWS_SERVER) and
// a `wine` command is on the PATH; the Windows leg of CI runs it that way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "platform/net.h"
#include "tests/support/program_run.h"
#include "tests/support/test_client.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

fs::path windows_server() {
    if (const char* named = std::getenv("TARKEEP_WINE_SERVER"); named && *named) return named;
    return TARKEEP_WINDOWS_SERVER;
}

fs::path find_on_path(const std::string& name) {
    std::istringstream folders(std::getenv("PATH") ? std::getenv("PATH") : "");
    std::error_code ignored;
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && fs::is_regular_file(fs::path(folder) / name, ignored)) return fs::path(folder) / name;
    return {};
}

// A port that was free a moment ago.
std::uint16_t free_port() {
    std::string error;
    if (!platform::network_start(error)) return 0;
    platform::Socket listener;
    std::uint16_t port = 0;
    if (!platform::listen_tcp("127.0.0.1", 0, listener, port, error)) port = 0;
    listener.close();
    platform::network_stop();
    return port;
}

const TestClient::Pump kWait = [] { platform::sleep_milliseconds(2); };
constexpr int kSteps = 2500;

// Connects once the server (still starting under Wine) listens, and says hello.
std::unique_ptr<TestClient> join(std::uint16_t port, const std::string& name) {
    for (int attempt = 0; attempt < 300; ++attempt, platform::sleep_milliseconds(50)) {
        auto client = std::make_unique<TestClient>(port);
        if (!client->connected()) continue;
        client->send(net::Hello{net::kHelloMagic, 2, 0, 0, name});
        EXPECT_EQ(skip_to<net::Welcome>(*client, kWait, kSteps).value_or(net::Welcome{}).motd, "Tarkeep relay") << name;
        return client;
    }
    ADD_FAILURE() << "the server never listened on port " << port;
    return nullptr;
}

TEST(WineServer, ServesANativeClientAndHoldsItsPort) {
    const fs::path server = windows_server();
    const fs::path wine = find_on_path("wine");
    std::error_code ignored;
    if (server.empty() || !fs::is_regular_file(server, ignored) || wine.empty())
        GTEST_SKIP() << "no cross-built server to run under wine";

    const std::uint16_t port = free_port();
    ASSERT_NE(port, 0);
    ProgramResult served;
    std::thread running([&] {
        served = run_program(
            wine, {server.string(), "--host", "127.0.0.1", "--port", std::to_string(port), "--stop-after", "8"});
    });
    // Two clients meet in a lobby, start a game and relay a bundle; meanwhile a second
    // server must fail to take the port.
    const auto play_a_turn = [&] {
        auto host = join(port, "Ana");
        auto guest = join(port, "Bo");
        ASSERT_TRUE(host && guest);
        host->send(net::CreateGame{"Duel", "Riverlands", 77, 2, "speed=2"});
        const auto lobby = skip_to<net::LobbyState>(*host, kWait, kSteps);
        ASSERT_TRUE(lobby);
        EXPECT_EQ(lobby->name, "Duel");
        guest->send(net::JoinGame{lobby->game_id});
        EXPECT_EQ(skip_to<net::LobbyState>(*guest, kWait, kSteps).value_or(net::LobbyState{}).slots.size(), 2u);

        host->send(net::SetReady{true});
        guest->send(net::SetReady{true});
        host->settle(kWait, 50);
        host->inbox().clear();
        host->send(net::StartGame{});
        const auto host_start = skip_to<net::GameStart>(*host, kWait, kSteps);
        const auto guest_start = skip_to<net::GameStart>(*guest, kWait, kSteps);
        ASSERT_TRUE(host_start && guest_start);
        EXPECT_EQ(guest_start->map, "Riverlands");
        EXPECT_EQ(guest_start->players.size(), 2u);

        net::TurnBundle bundle{
            0, host_start->params.first_turn, 0, 0, {net::Command{3, 9, -1000, 2000, 1, 2, 3, true, {11, 12}}}};
        host->send(bundle);
        bundle.player_id = host_start->your_player_id;
        EXPECT_EQ(skip_to<net::TurnBundle>(*guest, kWait, kSteps), bundle);

        // The port is held exclusively: a second server cannot take it.
        const std::string port_text = std::to_string(port);
        const auto second = run_program(wine, {server.string(), "--quiet", "--host", "127.0.0.1", "--port", port_text});
        EXPECT_EQ(second.exit_code, 1);
        EXPECT_TRUE(second.out.starts_with("cannot start: bind 127.0.0.1:" + port_text + " (error 10048"))
            << second.out;
    };
    play_a_turn();
    running.join();
    EXPECT_EQ(served.exit_code, 0) << served.out << served.err;
    const std::string statistics = "stopped: 2 connections, 1 games, 1 bundles relayed, ";
    EXPECT_TRUE(served.out.rfind(statistics, 0) == 0 || served.out.find("\n" + statistics) != std::string::npos)
        << served.out;
}

}  // namespace
}  // namespace tarkeep::test
