// Decoding relay messages from untrusted payloads, all or nothing.
#include <exception>
#include <string>

#include "net/message_codec.h"

namespace tarkeep::net {
namespace {

LockstepParams read_params(ByteReader& in) {
    LockstepParams p;
    p.param_a = in.read_u8();
    p.first_turn = in.read_u8();
    p.param_c = in.read_u16();
    p.param_d = in.read_u16();
    const bool valid = p.param_a >= 1 && p.param_a <= 10 && p.first_turn >= 1 && p.first_turn <= 50 &&
                       p.param_d >= 10 && p.param_d <= 10000;
    if (!valid) throw ProtocolError("protocol: lockstep parameters");
    return p;
}

std::int64_t read_target(ByteReader& in) { return in.read_i64(); }

Command read_command(ByteReader& in) {
    Command c;
    c.kind = in.read_u8();
    if (c.kind < 1 || c.kind > 64) throw ProtocolError("protocol: command kind");
    c.value_a = in.read_u32();
    c.target_x = read_target(in);
    c.target_y = read_target(in);
    const auto in_range = [](std::int64_t v) { return v >= -kMaxTarget && v <= kMaxTarget; };
    if (!in_range(c.target_x) || !in_range(c.target_y)) throw ProtocolError("protocol: command target");
    c.value_b = in.read_u32();
    c.value_c = in.read_u32();
    c.value_d = in.read_u16();
    c.flag = in.read_bool();
    const std::uint16_t count = in.read_u16();
    // Checked against the bytes left before anything is allocated for the units.
    if (count > kMaxUnits || std::uint64_t{count} * 4 > in.remaining()) throw ProtocolError("protocol: unit count");
    c.units.resize(count);
    for (auto& unit : c.units) unit = in.read_u32();
    return c;
}

std::size_t read_count(ByteReader& in, std::size_t limit, const char* error) {
    const std::uint8_t count = in.read_u8();
    if (count > limit) throw ProtocolError(error);
    return count;
}

Hello read_hello(ByteReader& in) {
    Hello m;
    m.magic = in.read_u32();
    m.protocol_version = in.read_u16();
    m.build_hash = in.read_u64();
    m.data_hash = in.read_u64();
    m.name = in.read_string(kMaxPlayerName);
    return m;
}

CreateGame read_create_game(ByteReader& in) {
    CreateGame m;
    m.name = in.read_string(kMaxGameName);
    m.map = in.read_string(kMaxMapName);
    m.host_tag = in.read_u64();
    m.max_players = in.read_u8();
    m.settings = in.read_string(kMaxSettings);
    return m;
}

TurnBundle read_turn_bundle(ByteReader& in) {
    TurnBundle m;
    m.player_id = read_player_id(in, true);
    m.turn = in.read_u32();
    m.extra_byte = in.read_u8();
    m.extra_word = in.read_u16();
    const std::size_t count = read_count(in, kMaxCommands, "protocol: too many commands in a bundle");
    m.commands.reserve(count);
    for (std::size_t i = 0; i < count; ++i) m.commands.push_back(read_command(in));
    return m;
}

HashReport read_hash_report(ByteReader& in) {
    HashReport m;
    m.player_id = read_player_id(in, true);
    m.tick = in.read_u32();
    m.hash = in.read_u64();
    return m;
}

GameSignal read_game_signal(ByteReader& in) {
    GameSignal m;
    m.player_id = read_player_id(in, true);
    m.value = in.read_u32();
    return m;
}

template <typename T>
T read_ping(ByteReader& in) {
    T m;
    m.sequence = in.read_u32();
    m.time = in.read_u64();
    return m;
}

BlobChunk read_blob_chunk(ByteReader& in) {
    BlobChunk m;
    m.sender_client_id = in.read_u32();
    m.total_size = in.read_u32();
    m.offset = in.read_u32();
    m.blob_id = in.read_u64();
    m.data = in.read_bytes(kMaxBlobChunk);
    // 64-bit sum: offset 0xFFFFFFFF plus one byte must not wrap to 0.
    if (m.total_size > kMaxBlobSize || std::uint64_t{m.offset} + m.data.size() > m.total_size)
        throw ProtocolError("protocol: blob chunk");
    return m;
}

Welcome read_welcome(ByteReader& in) {
    Welcome m;
    m.client_id = in.read_u32();
    m.protocol_version = in.read_u16();
    m.motd = in.read_string(kMaxText);
    return m;
}

GameList read_game_list(ByteReader& in) {
    GameList m;
    const std::size_t count = read_count(in, kMaxListedGames, "protocol: too many games");
    m.games.resize(count);
    for (GameListEntry& e : m.games) {
        e.game_id = in.read_u32();
        e.name = in.read_string(kMaxGameName);
        e.map = in.read_string(kMaxMapName);
        e.player_count = in.read_u8();
        e.max_players = in.read_u8();
        e.running = in.read_bool();
        e.host_client_id = in.read_u32();
    }
    return m;
}

LobbyState read_lobby_state(ByteReader& in) {
    LobbyState m;
    m.game_id = in.read_u32();
    m.name = in.read_string(kMaxGameName);
    m.map = in.read_string(kMaxMapName);
    m.host_tag = in.read_u64();
    m.settings = in.read_string(kMaxSettings);
    m.host_client_id = in.read_u32();
    m.max_players = in.read_u8();
    const std::size_t count = read_count(in, kMaxLobbySlots, "protocol: too many lobby slots");
    m.slots.resize(count);
    for (LobbySlot& s : m.slots) {
        s.client_id = in.read_u32();
        s.name = in.read_string(kMaxPlayerName);
        s.ready = in.read_bool();
        s.ping_ms = in.read_u16();
    }
    return m;
}

ChatRelay read_chat_relay(ByteReader& in) {
    ChatRelay m;
    m.sender_client_id = in.read_u32();
    m.sender_name = in.read_string(kMaxPlayerName);
    m.text = in.read_string(kMaxText);
    return m;
}

GameStart read_game_start(ByteReader& in) {
    GameStart m;
    m.game_id = in.read_u32();
    m.map = in.read_string(kMaxMapName);
    m.host_tag = in.read_u64();
    m.settings = in.read_string(kMaxSettings);
    m.params = read_params(in);
    const std::size_t count = read_count(in, kMaxStartPlayers, "protocol: too many players");
    m.players.resize(count);
    for (StartPlayer& p : m.players) {
        p.client_id = in.read_u32();
        p.player_id = read_player_id(in, false);
        p.name = in.read_string(kMaxPlayerName);
    }
    m.your_player_id = read_player_id(in, true);
    return m;
}

PlayerDropped read_player_dropped(ByteReader& in) {
    PlayerDropped m;
    m.player_id = read_player_id(in, false);
    m.last_turn = in.read_u32();
    m.reason = in.read_string(kMaxText);
    return m;
}

PingTable read_ping_table(ByteReader& in) {
    PingTable m;
    const std::size_t count = read_count(in, kMaxPingEntries, "protocol: too many ping entries");
    m.entries.resize(count);
    for (PingEntry& e : m.entries) {
        e.player_id = read_player_id(in, false);
        e.ping_ms = in.read_u16();
    }
    return m;
}

Message read_body(std::uint8_t type, ByteReader& in) {
    switch (type) {
        case 1: return read_hello(in);
        case 2: return ListGames{};
        case 3: return read_create_game(in);
        case 4: return JoinGame{in.read_u32()};
        case 5: return LeaveGame{};
        case 6: return SetReady{in.read_bool()};
        case 7: return Chat{in.read_string(kMaxText)};
        case 8: return StartGame{read_params(in)};
        case 9: return read_turn_bundle(in);
        case 10: return read_hash_report(in);
        case 11: return read_game_signal(in);
        case 12: return read_ping<Ping>(in);
        case 13: return read_ping<Pong>(in);
        case 14: return Goodbye{};
        case 15: return read_blob_chunk(in);
        case 64: return read_welcome(in);
        case 65: return Refused{in.read_string(kMaxText)};
        case 66: return read_game_list(in);
        case 67: return read_lobby_state(in);
        case 68: return read_chat_relay(in);
        case 69: return read_game_start(in);
        case 73: return read_player_dropped(in);
        case 74: return read_ping_table(in);
        case 75: return Notice{in.read_string(kMaxText)};
        default: throw ProtocolError("protocol: unknown message type " + std::to_string(type));
    }
}

}  // namespace

std::uint8_t read_player_id(ByteReader& reader, bool zero_allowed) {
    const std::uint8_t id = reader.read_u8();
    if (id > kMaxPlayerId || (id == 0 && !zero_allowed)) throw ProtocolError("protocol: player id");
    return id;
}

Message decode_message(std::span<const std::uint8_t> payload) {
    if (payload.empty() || payload.size() > kMaxMessage) throw ProtocolError("protocol: empty or oversized message");
    try {
        ByteReader in(payload);
        const std::uint8_t type = in.read_u8();
        Message message = read_body(type, in);
        in.finish();
        return message;
    } catch (const ProtocolError&) {
        throw;
    } catch (const std::exception& error) {
        throw ProtocolError(std::string("protocol: ") + error.what());
    }
}

}  // namespace tarkeep::net
