#include "tools/relay_load/bot.h"

#include <algorithm>
#include <array>

#include "net/message_codec.h"
#include "platform/clock.h"

namespace tarkeep::relay_load {
namespace {

constexpr std::uint64_t OUTPUT_LIMIT = 64u << 20;
constexpr std::uint8_t TURN_BUNDLE_TYPE = 9;
constexpr std::uint8_t HASH_REPORT_TYPE = 10;
// Offsets in a TurnBundle payload: type, player, turn u32, extra u8, extra u16, count,
// then the first command: kind, value_a u32, two i64 targets, value_b u32.
constexpr std::size_t PLAYER_AT = 1, TURN_AT = 2, COUNT_AT = 9, VALUE_A_AT = 11, VALUE_B_AT = 31;
// A bot more than this many turns behind its schedule skips ahead instead of bursting.
constexpr std::uint64_t MAX_CATCH_UP_TURNS = 20;

std::uint32_t u32_at(const net::Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

// Every bot agrees on the state of every turn: the game is deterministic.
std::uint64_t state_hash(std::uint32_t turn) { return 0x9E3779B97F4A7C15ull * (turn + 1); }

}  // namespace

net::TurnBundle Bot::make_bundle(std::uint32_t turn, std::uint32_t commands, std::uint64_t sent_us) {
    net::TurnBundle bundle;
    bundle.turn = turn;
    // The first command always exists: it carries the send time.
    for (std::uint32_t i = 0; i < std::max<std::uint32_t>(commands, 1); ++i) {
        net::Command command;
        command.kind = static_cast<std::uint8_t>(1 + i % 64);
        command.value_a = static_cast<std::uint32_t>(sent_us);
        command.value_b = static_cast<std::uint32_t>(sent_us >> 32);
        command.target_x = 100 + turn;
        command.target_y = -static_cast<std::int64_t>(i);
        command.units = {turn, i};
        bundle.commands.push_back(std::move(command));
    }
    return bundle;
}

bool Bot::connect(const std::string& host, std::uint16_t port, const std::string& local_host, std::string& error) {
    if (!platform::connect_tcp(host, port, socket_, error, local_host)) return false;
    platform::set_non_blocking(socket_, true);
    net::Hello hello;
    hello.build_hash = 0x7A4B;
    hello.data_hash = 0x5EED;
    hello.name = name_;
    send(hello);
    flush();
    return true;
}

void Bot::send(const net::Message& message) {
    if (!frames_.append_frame(net::encode_message(message), OUTPUT_LIMIT)) closed_ = true;
}

void Bot::flush() {
    while (alive() && frames_.unsent_size() != 0) {
        const auto unsent = frames_.unsent();
        const auto result = platform::send_some(socket_, unsent.data(), unsent.size());
        if (result.status == platform::IoStatus::would_block) return;
        if (result.status != platform::IoStatus::done) {
            closed_ = true;
            return;
        }
        frames_.mark_sent(result.count);
    }
}

void Bot::receive(LoadTotals& totals) {
    std::array<std::uint8_t, 65536> chunk;
    while (alive()) {
        const auto result = platform::receive_some(socket_, chunk.data(), chunk.size());
        if (result.status == platform::IoStatus::would_block) break;
        if (result.status != platform::IoStatus::done) {
            closed_ = true;
            break;
        }
        frames_.append_received(chunk.data(), result.count);
        if (result.count < chunk.size()) break;
    }
    net::Bytes payload;
    while (frames_.next_frame(payload)) handle(payload, totals);
    if (frames_.failed()) closed_ = true;
}

void Bot::handle(const net::Bytes& payload, LoadTotals& totals) {
    if (payload[0] == TURN_BUNDLE_TYPE && payload.size() > VALUE_B_AT + 4) return handle_bundle(payload, totals);
    if (payload[0] == HASH_REPORT_TYPE) {
        ++totals.hashes_received;
        return;
    }
    try {
        handle_other(net::decode_message(payload), totals);
    } catch (const net::ProtocolError& error) {
        ++totals.notices[std::string("undecodable message: ") + error.what()];
        closed_ = true;
    }
}

void Bot::handle_bundle(const net::Bytes& payload, LoadTotals& totals) {
    const std::uint64_t now = platform::monotonic_microseconds();
    ++totals.bundles_received;
    if (payload[COUNT_AT] != 0) {
        const std::uint64_t sent =
            std::uint64_t{u32_at(payload, VALUE_A_AT)} | std::uint64_t{u32_at(payload, VALUE_B_AT)} << 32;
        totals.latency.add(now > sent ? now - sent : 0);
    }
    const std::uint8_t player = payload[PLAYER_AT];
    const std::uint32_t turn = u32_at(payload, TURN_AT);
    if (player >= expected_turn_.size()) expected_turn_.resize(player + 1u, 0);
    if (expected_turn_[player] != 0 && turn != expected_turn_[player]) ++totals.order_errors;
    expected_turn_[player] = turn + 1;
}

void Bot::handle_other(net::Message&& message, LoadTotals& totals) {
    if (const auto* ping = std::get_if<net::Ping>(&message)) {
        send(net::Pong{ping->sequence, ping->time});
    } else if (std::holds_alternative<net::Welcome>(message)) {
        welcomed_ = true;
        if (role_.host) send(net::CreateGame{role_.game_name, "load test", 1, role_.players, "bots"});
    } else if (const auto* lobby = std::get_if<net::LobbyState>(&message)) {
        game_id_ = lobby->game_id;
        if (!ready_sent_) {
            ready_sent_ = true;
            send(net::SetReady{true});
        }
        const bool all_ready = std::all_of(lobby->slots.begin(), lobby->slots.end(),
                                           [](const net::LobbySlot& slot) { return slot.ready; });
        if (role_.host && !start_sent_ && lobby->slots.size() == role_.players && all_ready) {
            start_sent_ = true;
            send(net::StartGame{});
        }
    } else if (const auto* start = std::get_if<net::GameStart>(&message)) {
        player_id_ = start->your_player_id;
        next_turn_ = start->params.first_turn;
    } else if (const auto* notice = std::get_if<net::Notice>(&message)) {
        ++totals.notices[notice->text];
    } else if (const auto* refused = std::get_if<net::Refused>(&message)) {
        ++totals.notices["refused: " + refused->text];
    } else if (std::holds_alternative<net::PlayerDropped>(message)) {
        ++totals.drops_seen;
    }
}

void Bot::play(std::uint64_t now_us, std::uint64_t turn_interval_us, std::uint32_t commands, std::uint32_t hash_every,
               LoadTotals& totals) {
    if (!playing() || !alive() || turn_interval_us == 0) return;
    if (next_send_us_ == 0)
        next_send_us_ = now_us + static_cast<std::uint64_t>(role_.phase * static_cast<double>(turn_interval_us));
    if (now_us > next_send_us_ + MAX_CATCH_UP_TURNS * turn_interval_us) next_send_us_ = now_us;
    while (next_send_us_ <= now_us) {
        const std::uint32_t turn = next_turn_++;
        send(make_bundle(turn, commands, platform::monotonic_microseconds()));
        ++totals.bundles_sent;
        if (hash_every != 0 && turn % hash_every == 0) {
            send(net::HashReport{0, turn, state_hash(turn)});
            ++totals.hashes_sent;
        }
        next_send_us_ += turn_interval_us;
    }
}

void Bot::join(std::uint32_t game_id) { send(net::JoinGame{game_id}); }

void Bot::say_goodbye() {
    if (!alive()) return;
    send(net::Goodbye{});
    flush();
}

}  // namespace tarkeep::relay_load
