// The relay protocol messages and their wire limits.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "net/byte_codec.h"

namespace tarkeep::net {

inline constexpr std::uint16_t kProtocolVersion = 2;
// "TRKP" read as a little-endian u32.
inline constexpr std::uint32_t kHelloMagic = 0x504b5254;

// Field limits of the wire format.
inline constexpr std::size_t kMaxPlayerName = 24;
inline constexpr std::size_t kMaxGameName = 32;
inline constexpr std::size_t kMaxMapName = 64;
inline constexpr std::size_t kMaxSettings = 2048;
inline constexpr std::size_t kMaxText = 200;  // chat, notices, refusals, reasons, motd
inline constexpr std::size_t kMaxBlobChunk = 60000;
inline constexpr std::uint64_t kMaxBlobSize = 67108864;
inline constexpr std::size_t kMaxCommands = 64;
inline constexpr std::size_t kMaxUnits = 512;
inline constexpr std::size_t kMaxListedGames = 64;
inline constexpr std::size_t kMaxLobbySlots = 8;
inline constexpr std::size_t kMaxStartPlayers = 8;
inline constexpr std::size_t kMaxPingEntries = 10;
inline constexpr std::size_t kMaxMessage = 65536;
inline constexpr std::uint8_t kMaxPlayerId = 10;
inline constexpr std::int64_t kMaxTarget = std::int64_t{1} << 40;

struct LockstepParams {
    std::uint8_t param_a = 2;
    std::uint8_t first_turn = 2;  // turn of the first bundle expected from every player
    std::uint16_t param_c = 10;
    std::uint16_t param_d = 100;
    bool operator==(const LockstepParams&) const = default;
};

struct Command {
    std::uint8_t kind = 1;
    std::uint32_t value_a = 0;
    std::int64_t target_x = 0;
    std::int64_t target_y = 0;
    std::uint32_t value_b = 0;
    std::uint32_t value_c = 0;
    std::uint16_t value_d = 0;
    bool flag = false;
    std::vector<std::uint32_t> units;
    bool operator==(const Command&) const = default;
};

struct GameListEntry {
    std::uint32_t game_id = 0;
    std::string name;
    std::string map;
    std::uint8_t player_count = 0;
    std::uint8_t max_players = 0;
    bool running = false;
    std::uint32_t host_client_id = 0;
    bool operator==(const GameListEntry&) const = default;
};

struct LobbySlot {
    std::uint32_t client_id = 0;
    std::string name;
    bool ready = false;
    std::uint16_t ping_ms = 0;
    bool operator==(const LobbySlot&) const = default;
};

struct StartPlayer {
    std::uint32_t client_id = 0;
    std::uint8_t player_id = 1;
    std::string name;
    bool operator==(const StartPlayer&) const = default;
};

struct PingEntry {
    std::uint8_t player_id = 1;
    std::uint16_t ping_ms = 0;
    bool operator==(const PingEntry&) const = default;
};

// Client to server.
struct Hello {
    std::uint32_t magic = kHelloMagic;
    std::uint16_t protocol_version = kProtocolVersion;
    std::uint64_t build_hash = 0;
    std::uint64_t data_hash = 0;
    std::string name;
    bool operator==(const Hello&) const = default;
};
struct ListGames {
    bool operator==(const ListGames&) const = default;
};
struct CreateGame {
    std::string name;
    std::string map;
    std::uint64_t host_tag = 0;
    std::uint8_t max_players = 0;
    std::string settings;
    bool operator==(const CreateGame&) const = default;
};
struct JoinGame {
    std::uint32_t game_id = 0;
    bool operator==(const JoinGame&) const = default;
};
struct LeaveGame {
    bool operator==(const LeaveGame&) const = default;
};
struct SetReady {
    bool ready = false;
    bool operator==(const SetReady&) const = default;
};
struct Chat {
    std::string text;
    bool operator==(const Chat&) const = default;
};
struct StartGame {
    LockstepParams params;
    bool operator==(const StartGame&) const = default;
};

// Sent by clients and relayed to the other players.
struct TurnBundle {
    std::uint8_t player_id = 0;
    std::uint32_t turn = 0;
    std::uint8_t extra_byte = 0;
    std::uint16_t extra_word = 0;
    std::vector<Command> commands;
    bool operator==(const TurnBundle&) const = default;
};
struct HashReport {
    std::uint8_t player_id = 0;
    std::uint32_t tick = 0;
    std::uint64_t hash = 0;
    bool operator==(const HashReport&) const = default;
};
struct GameSignal {
    std::uint8_t player_id = 0;
    std::uint32_t value = 0;
    bool operator==(const GameSignal&) const = default;
};
struct Ping {
    std::uint32_t sequence = 0;
    std::uint64_t time = 0;  // microseconds of the sender's clock
    bool operator==(const Ping&) const = default;
};
struct Pong {
    std::uint32_t sequence = 0;
    std::uint64_t time = 0;
    bool operator==(const Pong&) const = default;
};
struct Goodbye {
    bool operator==(const Goodbye&) const = default;
};
struct BlobChunk {
    std::uint32_t sender_client_id = 0;
    std::uint32_t total_size = 0;
    std::uint32_t offset = 0;
    std::uint64_t blob_id = 0;
    Bytes data;
    bool operator==(const BlobChunk&) const = default;
};

// Server to client.
struct Welcome {
    std::uint32_t client_id = 0;
    std::uint16_t protocol_version = kProtocolVersion;
    std::string motd;
    bool operator==(const Welcome&) const = default;
};
struct Refused {
    std::string text;
    bool operator==(const Refused&) const = default;
};
struct GameList {
    std::vector<GameListEntry> games;
    bool operator==(const GameList&) const = default;
};
struct LobbyState {
    std::uint32_t game_id = 0;
    std::string name;
    std::string map;
    std::uint64_t host_tag = 0;
    std::string settings;
    std::uint32_t host_client_id = 0;
    std::uint8_t max_players = 0;
    std::vector<LobbySlot> slots;
    bool operator==(const LobbyState&) const = default;
};
struct ChatRelay {
    std::uint32_t sender_client_id = 0;
    std::string sender_name;
    std::string text;
    bool operator==(const ChatRelay&) const = default;
};
struct GameStart {
    std::uint32_t game_id = 0;
    std::string map;
    std::uint64_t host_tag = 0;
    std::string settings;
    LockstepParams params;
    std::vector<StartPlayer> players;
    std::uint8_t your_player_id = 0;
    bool operator==(const GameStart&) const = default;
};
struct PlayerDropped {
    std::uint8_t player_id = 1;
    std::uint32_t last_turn = 0;
    std::string reason;
    bool operator==(const PlayerDropped&) const = default;
};
struct PingTable {
    std::vector<PingEntry> entries;
    bool operator==(const PingTable&) const = default;
};
struct Notice {
    std::string text;
    bool operator==(const Notice&) const = default;
};

// Alternatives in type-code order: index 0..14 are codes 1..15, 15..20 are 64..69,
// 21..23 are 73..75.
using Message = std::variant<Hello, ListGames, CreateGame, JoinGame, LeaveGame, SetReady, Chat, StartGame, TurnBundle,
                             HashReport, GameSignal, Ping, Pong, Goodbye, BlobChunk, Welcome, Refused, GameList,
                             LobbyState, ChatRelay, GameStart, PlayerDropped, PingTable, Notice>;

inline constexpr std::uint8_t kMessageTypeCodes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                                     13, 14, 15, 64, 65, 66, 67, 68, 69, 73, 74, 75};
static_assert(std::size(kMessageTypeCodes) == std::variant_size_v<Message>);

// The wire type code of the active alternative.
inline std::uint8_t message_type(const Message& message) { return kMessageTypeCodes[message.index()]; }

}  // namespace tarkeep::net
