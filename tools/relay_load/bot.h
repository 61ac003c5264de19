#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/framing.h"
#include "net/messages.h"
#include "platform/net.h"
#include "tools/relay_load/latency_stats.h"

namespace tarkeep::relay_load {

// What every bot adds to; the bots run in one thread.
struct LoadTotals {
    std::uint64_t bundles_sent = 0;
    std::uint64_t hashes_sent = 0;
    std::uint64_t bundles_received = 0;
    std::uint64_t hashes_received = 0;
    std::uint64_t order_errors = 0;  // a relayed turn that is not the sender's next
    std::uint64_t drops_seen = 0;
    std::map<std::string, std::uint64_t> notices;  // Notice and Refused texts
    LatencyStats latency;
};

struct BotRole {
    bool host = false;
    std::uint8_t players = 1;  // seats of the bot's game
    std::string game_name;
    // Where in the turn interval the bot's game sends (0 to 1): games run independently,
    // so their turns do not all fall on the same instant.
    double phase = 0;
};

// One game client: handshake, lobby, then one bundle per turn with its send time in the
// first command, a hash report every few turns, and answers to pings.
class Bot {
public:
    Bot(BotRole role, std::string name) : role_(std::move(role)), name_(std::move(name)) {}

    bool connect(const std::string& host, std::uint16_t port, const std::string& local_host, std::string& error);
    const platform::Socket& socket() const { return socket_; }
    bool has_unsent() const { return frames_.unsent_size() != 0; }
    bool alive() const { return socket_.valid() && !closed_; }

    // Reads what arrived and acts on every complete message.
    void receive(LoadTotals& totals);
    // Sends the turns that are due; `turn_interval_us` 0 sends none.
    void play(std::uint64_t now_us, std::uint64_t turn_interval_us, std::uint32_t commands, std::uint32_t hash_every,
              LoadTotals& totals);
    void join(std::uint32_t game_id);
    void say_goodbye();
    void flush();

    bool welcomed() const { return welcomed_; }
    std::uint32_t game_id() const { return game_id_; }
    bool playing() const { return player_id_ != 0; }

    // A relayed bundle as the bots write it: the send time travels in the first command's
    // value_a (low half) and value_b (high half).
    static net::TurnBundle make_bundle(std::uint32_t turn, std::uint32_t commands, std::uint64_t sent_us);

private:
    void send(const net::Message& message);
    void handle(const net::Bytes& payload, LoadTotals& totals);
    void handle_bundle(const net::Bytes& payload, LoadTotals& totals);
    void handle_other(net::Message&& message, LoadTotals& totals);

    BotRole role_;
    std::string name_;
    platform::Socket socket_;
    net::FrameBuffers frames_;
    bool closed_ = false;
    bool welcomed_ = false;
    bool ready_sent_ = false;
    bool start_sent_ = false;
    std::uint32_t game_id_ = 0;
    std::uint8_t player_id_ = 0;
    std::uint32_t next_turn_ = 0;
    std::uint64_t next_send_us_ = 0;
    std::vector<std::uint32_t> expected_turn_;  // by sender player id
};

}  // namespace tarkeep::relay_load
