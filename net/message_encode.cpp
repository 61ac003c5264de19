// Encoding relay messages within the wire limits.
#include <string_view>

#include "net/message_codec.h"

namespace tarkeep::net {
namespace {

// Enough for every message but lobby states, game starts and large bundles or blobs,
// which then grow geometrically.
constexpr std::size_t kInitialCapacity = 512;

void write_text(ByteWriter& out, std::string_view text, std::size_t limit) {
    if (text.size() > limit) throw ProtocolError("protocol: text field too long");
    out.write_string(text);
}

void check_count(std::size_t count, std::size_t limit, const char* error) {
    if (count > limit) throw ProtocolError(error);
}

void write_params(ByteWriter& out, const LockstepParams& params) {
    out.write_u8(params.param_a);
    out.write_u8(params.first_turn);
    out.write_u16(params.param_c);
    out.write_u16(params.param_d);
}

void write_command(ByteWriter& out, const Command& command) {
    check_count(command.units.size(), kMaxUnits, "protocol: too many units in a command");
    out.write_u8(command.kind);
    out.write_u32(command.value_a);
    out.write_i64(command.target_x);
    out.write_i64(command.target_y);
    out.write_u32(command.value_b);
    out.write_u32(command.value_c);
    out.write_u16(command.value_d);
    out.write_bool(command.flag);
    out.write_u16(static_cast<std::uint16_t>(command.units.size()));
    for (std::uint32_t unit : command.units) out.write_u32(unit);
}

// Offset and length added in 64 bits: a 32-bit sum would wrap past the total size.
bool blob_chunk_fits(std::uint32_t total_size, std::uint32_t offset, std::uint64_t length) {
    return length <= kMaxBlobChunk && total_size <= kMaxBlobSize &&
           static_cast<std::uint64_t>(offset) + length <= total_size;
}

struct FieldWriter {
    ByteWriter& out;

    void operator()(const Hello& m) {
        out.write_u32(m.magic);
        out.write_u16(m.protocol_version);
        out.write_u64(m.build_hash);
        out.write_u64(m.data_hash);
        write_text(out, m.name, kMaxPlayerName);
    }
    void operator()(const ListGames&) {}
    void operator()(const CreateGame& m) {
        write_text(out, m.name, kMaxGameName);
        write_text(out, m.map, kMaxMapName);
        out.write_u64(m.host_tag);
        out.write_u8(m.max_players);
        write_text(out, m.settings, kMaxSettings);
    }
    void operator()(const JoinGame& m) { out.write_u32(m.game_id); }
    void operator()(const LeaveGame&) {}
    void operator()(const SetReady& m) { out.write_bool(m.ready); }
    void operator()(const Chat& m) { write_text(out, m.text, kMaxText); }
    void operator()(const StartGame& m) { write_params(out, m.params); }
    void operator()(const TurnBundle& m) {
        check_count(m.commands.size(), kMaxCommands, "protocol: too many commands in a bundle");
        out.write_u8(m.player_id);
        out.write_u32(m.turn);
        out.write_u8(m.extra_byte);
        out.write_u16(m.extra_word);
        out.write_u8(static_cast<std::uint8_t>(m.commands.size()));
        for (const Command& command : m.commands) write_command(out, command);
    }
    void operator()(const HashReport& m) {
        out.write_u8(m.player_id);
        out.write_u32(m.tick);
        out.write_u64(m.hash);
    }
    void operator()(const GameSignal& m) {
        out.write_u8(m.player_id);
        out.write_u32(m.value);
    }
    void operator()(const Ping& m) {
        out.write_u32(m.sequence);
        out.write_u64(m.time);
    }
    void operator()(const Pong& m) {
        out.write_u32(m.sequence);
        out.write_u64(m.time);
    }
    void operator()(const Goodbye&) {}
    void operator()(const BlobChunk& m) {
        if (!blob_chunk_fits(m.total_size, m.offset, m.data.size())) throw ProtocolError("protocol: blob chunk");
        out.write_u32(m.sender_client_id);
        out.write_u32(m.total_size);
        out.write_u32(m.offset);
        out.write_u64(m.blob_id);
        out.write_bytes(m.data);
    }
    void operator()(const Welcome& m) {
        out.write_u32(m.client_id);
        out.write_u16(m.protocol_version);
        write_text(out, m.motd, kMaxText);
    }
    void operator()(const Refused& m) { write_text(out, m.text, kMaxText); }
    void operator()(const GameList& m) {
        check_count(m.games.size(), kMaxListedGames, "protocol: too many games");
        out.write_u8(static_cast<std::uint8_t>(m.games.size()));
        for (const GameListEntry& e : m.games) {
            out.write_u32(e.game_id);
            write_text(out, e.name, kMaxGameName);
            write_text(out, e.map, kMaxMapName);
            out.write_u8(e.player_count);
            out.write_u8(e.max_players);
            out.write_bool(e.running);
            out.write_u32(e.host_client_id);
        }
    }
    void operator()(const LobbyState& m) {
        check_count(m.slots.size(), kMaxLobbySlots, "protocol: too many lobby slots");
        out.write_u32(m.game_id);
        write_text(out, m.name, kMaxGameName);
        write_text(out, m.map, kMaxMapName);
        out.write_u64(m.host_tag);
        write_text(out, m.settings, kMaxSettings);
        out.write_u32(m.host_client_id);
        out.write_u8(m.max_players);
        out.write_u8(static_cast<std::uint8_t>(m.slots.size()));
        for (const LobbySlot& s : m.slots) {
            out.write_u32(s.client_id);
            write_text(out, s.name, kMaxPlayerName);
            out.write_bool(s.ready);
            out.write_u16(s.ping_ms);
        }
    }
    void operator()(const ChatRelay& m) {
        out.write_u32(m.sender_client_id);
        write_text(out, m.sender_name, kMaxPlayerName);
        write_text(out, m.text, kMaxText);
    }
    void operator()(const GameStart& m) {
        check_count(m.players.size(), kMaxStartPlayers, "protocol: too many players");
        out.write_u32(m.game_id);
        write_text(out, m.map, kMaxMapName);
        out.write_u64(m.host_tag);
        write_text(out, m.settings, kMaxSettings);
        write_params(out, m.params);
        out.write_u8(static_cast<std::uint8_t>(m.players.size()));
        for (const StartPlayer& p : m.players) {
            out.write_u32(p.client_id);
            out.write_u8(p.player_id);
            write_text(out, p.name, kMaxPlayerName);
        }
        out.write_u8(m.your_player_id);
    }
    void operator()(const PlayerDropped& m) {
        out.write_u8(m.player_id);
        out.write_u32(m.last_turn);
        write_text(out, m.reason, kMaxText);
    }
    void operator()(const PingTable& m) {
        check_count(m.entries.size(), kMaxPingEntries, "protocol: too many ping entries");
        out.write_u8(static_cast<std::uint8_t>(m.entries.size()));
        for (const PingEntry& e : m.entries) {
            out.write_u8(e.player_id);
            out.write_u16(e.ping_ms);
        }
    }
    void operator()(const Notice& m) { write_text(out, m.text, kMaxText); }
};

}  // namespace

Bytes encode_message(const Message& message) {
    ByteWriter out;
    out.reserve(kInitialCapacity);
    out.write_u8(message_type(message));
    std::visit(FieldWriter{out}, message);
    if (out.bytes().size() > kMaxMessage) throw ProtocolError("protocol: message too large");
    return out.take();
}

}  // namespace tarkeep::net
