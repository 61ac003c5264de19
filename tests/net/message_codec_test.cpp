// The message codec: every type on the wire, and the limits of the decoder and the encoder.
#include <gtest/gtest.h>

#include <algorithm>

#include "net/message_codec.h"
#include "tests/data/error_text.h"

namespace tarkeep::net {
namespace {

Command command(std::uint8_t kind, std::int64_t x = 0, std::int64_t y = 0, std::size_t units = 0) {
    return Command{kind, 0, x, y, 0, 0, 0, false, std::vector<std::uint32_t>(units)};
}

// Every field away from its default and told apart from the others.
const Command kEveryField{7, 0x0A0B0C0D, -2, 0x0102030405, 9, 10, 0x0B0C, true, {0x11223344}};

// One message of every type, in type-code order, with values away from the defaults.
std::vector<Message> every_message() {
    const LockstepParams params{10, 50, 0, 10000};
    return {
        Hello{kHelloMagic, 2, 0x0123456789ABCDEFull, 0xFEDCBA9876543210ull, "Ann \xC3\xA9"},
        ListGames{},
        CreateGame{"Duel", "isle.map", 99, 4, std::string(2048, 's')},
        JoinGame{0xFFFFFFFF},
        LeaveGame{},
        SetReady{true},
        Chat{std::string(200, 'c')},
        StartGame{params},
        TurnBundle{0, 77, 5, 0x1234, {kEveryField, command(64, -kMaxTarget, kMaxTarget, 3)}},
        HashReport{10, 100, 0xFFFFFFFFFFFFFFFFull},
        GameSignal{3, 42},
        Ping{1, 123456789012ull},
        Pong{2, 987654321ull},
        Goodbye{},
        BlobChunk{5, 100, 60, 0xB10B, Bytes(40, 0xEE)},
        Welcome{17, 2, "Tarkeep relay"},
        Refused{"server full"},
        GameList{{GameListEntry{1, "Duel", "isle", 2, 4, true, 9}, GameListEntry{2, "", "", 0, 8, false, 3}}},
        LobbyState{
            4, "Duel", "isle", 5, "cfg", 9, 8, {LobbySlot{9, "Ann", true, 65535}, LobbySlot{10, "Bo", false, 0}}},
        ChatRelay{9, "Ann", "hi"},
        GameStart{4, "isle", 5, "cfg", params, {StartPlayer{9, 1, "Ann"}, StartPlayer{10, 8, "Bo"}}, 0},
        PlayerDropped{10, 57, "closed by peer"},
        PingTable{{PingEntry{1, 30}, PingEntry{10, 60000}}},
        Notice{"the game is running"},
    };
}

// The ProtocolError text of decoding or encoding, or "no error".
std::string decode_failure(const Bytes& payload) {
    return test::error_text<ProtocolError>([&] { decode_message(payload); });
}
std::string encode_failure(const Message& message) {
    return test::error_text<ProtocolError>([&] { encode_message(message); });
}

TEST(MessageCodec, EveryTypeRoundTripsWithItsTypeCode) {
    const auto messages = every_message();
    ASSERT_EQ(messages.size(), std::variant_size_v<Message>);
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const Bytes payload = encode_message(messages[i]);
        EXPECT_EQ(payload[0], kMessageTypeCodes[i]);
        EXPECT_TRUE(decode_message(payload) == messages[i]) << "type " << int(payload[0]);
    }
}

TEST(MessageCodec, WireLayoutOfHelloStartGameAndABundle) {
    // The default magic and protocol version.
    EXPECT_EQ(
        encode_message(Hello{.build_hash = 1, .name = "Al"}),
        (Bytes{1, 'T', 'R', 'K', 'P', 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'A', 'l'}));
    EXPECT_EQ(encode_message(StartGame{}), (Bytes{8, 2, 2, 10, 0, 100, 0}));  // default lockstep parameters
    // Little-endian throughout, signed targets in two's complement, booleans as one byte.
    EXPECT_EQ(encode_message(TurnBundle{1, 2, 3, 0x0405, {kEveryField}}),
              (Bytes{9,    1,    2,    0,    0,    0,    3,    5,   4,   1, 7, 0xd, 0xc,  0xb,  0xa,  0xfe,
                     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 5,   4,   3, 2, 1,   0,    0,    0,    9,
                     0,    0,    0,    0xa,  0,    0,    0,    0xc, 0xb, 1, 1, 0,   0x44, 0x33, 0x22, 0x11}));
}

// Payloads the encoder would refuse to produce: written field by field (blobs), or encoded and then
// patched. The encoder checks sizes and counts only, so other bad values are encoded as they are.
Bytes patched(Bytes payload, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), payload.begin() + static_cast<std::ptrdiff_t>(at));
    return payload;
}

// An entry list's count set to `count` with no entries behind it; GameStart's is followed by one more byte.
Bytes with_count(const Message& empty_list, std::uint8_t count) {
    const Bytes payload = encode_message(empty_list);
    return patched(payload, payload.size() - (std::holds_alternative<GameStart>(empty_list) ? 2 : 1), {count});
}

Bytes bundle_of(std::uint8_t player, std::vector<Command> commands) {
    return encode_message(TurnBundle{player, 2, 0, 0, std::move(commands)});
}

constexpr std::size_t kCommandCountAt = 9, kFirstUnitCountAt = 42;  // offsets in a bundle's payload

Bytes blob(std::uint32_t total, std::uint32_t offset, std::size_t length) {
    ByteWriter out;
    out.write_u8(15);
    for (std::uint32_t field : {0u, total, offset}) out.write_u32(field);
    out.write_u64(0);
    out.write_bytes(Bytes(length, 1));
    return out.take();
}

TEST(MessageCodec, DecoderLimitsTypeCodesAndTheirTexts) {
    constexpr std::int64_t edge = kMaxTarget;
    const std::string ok = "no error";
    const std::tuple<const char*, Bytes, std::string> cases[] = {
        // what the row is, the payload, the error text or "no error"
        {"no type code", Bytes{}, "protocol: empty or oversized message"},
        {"list games one byte too long", patched(Bytes(kMaxMessage + 1, 0), 0, {2}),
         "protocol: empty or oversized message"},
        {"bundle of 65 commands, nothing else", patched(bundle_of(1, {}), kCommandCountAt, {65}),
         "protocol: too many commands in a bundle"},
        {"bundle of 64 empty commands", bundle_of(1, std::vector<Command>(64, command(1))), ok},
        {"bundle from player 10", bundle_of(10, {}), ok},
        {"bundle from player 11", bundle_of(11, {}), "protocol: player id"},
        {"command kind 0", bundle_of(1, {command(0)}), "protocol: command kind"},
        {"command kind 65", bundle_of(1, {command(65)}), "protocol: command kind"},
        {"command kind 64", bundle_of(1, {command(64)}), ok},
        {"target x at +2^40", bundle_of(1, {command(1, edge)}), ok},
        {"target x past +2^40", bundle_of(1, {command(1, edge + 1)}), "protocol: command target"},
        {"target x past -2^40", bundle_of(1, {command(1, -edge - 1)}), "protocol: command target"},
        {"target y past +2^40", bundle_of(1, {command(1, 0, edge + 1)}), "protocol: command target"},
        {"3 units, 8 bytes left", patched(bundle_of(1, {command(1, 0, 0, 2)}), kFirstUnitCountAt, {3}),
         "protocol: unit count"},
        // The 513th unit is read from the next command's bytes.
        {"513 units", patched(bundle_of(1, {command(1, 0, 0, 512), command(1)}), kFirstUnitCountAt, {1, 2}),
         "protocol: unit count"},
        {"512 units", bundle_of(1, {command(1, 0, 0, 512)}), ok},
        {"blob past its total", blob(100, 60, 41), "protocol: blob chunk"},
        {"blob up to its total", blob(100, 60, 40), ok},
        {"blob offset wrapping 32 bits", blob(100, 0xFFFFFFFF, 1), "protocol: blob chunk"},
        {"blob total over 64 MiB", blob(67108865, 0, 0), "protocol: blob chunk"},
        {"blob total at 64 MiB", blob(67108864, 67108864 - 60000, 60000), ok},
        {"blob data over 60000", blob(67108864, 0, 60001), "protocol: bytes: string too long"},
        // A length is checked against its limit before the bytes behind it are looked for.
        {"chat of 201 bytes, none there", Bytes{7, 201, 0, 0, 0}, "protocol: bytes: string too long"},
        {"chat cut short", Bytes{7, 4, 0, 0, 0, 'a', 'b'}, "protocol: bytes: truncated data"},
        {"ping cut short", Bytes{12, 1, 0, 0, 0, 5}, "protocol: bytes: truncated data"},
        {"ready of 2", Bytes{6, 2}, "protocol: bytes: invalid boolean"},
        {"list games with a stray byte", Bytes{2, 0}, "protocol: bytes: trailing data"},
        {"dropped player 0", encode_message(PlayerDropped{0, 1, ""}), "protocol: player id"},
        {"ping table row for player 11", encode_message(PingTable{{{11, 5}}}), "protocol: player id"},
        {"hash report from player 0", encode_message(HashReport{0, 1, 2}), ok},
        {"params 0/2/10/100", Bytes{8, 0, 2, 10, 0, 100, 0}, "protocol: lockstep parameters"},
        {"params 2/51/10/100", Bytes{8, 2, 51, 10, 0, 100, 0}, "protocol: lockstep parameters"},
        {"params 2/0/10/100", Bytes{8, 2, 0, 10, 0, 100, 0}, "protocol: lockstep parameters"},
        {"params 2/2/10/9", Bytes{8, 2, 2, 10, 0, 9, 0}, "protocol: lockstep parameters"},
        {"params 11/2/10/100", Bytes{8, 11, 2, 10, 0, 100, 0}, "protocol: lockstep parameters"},
        {"params 2/2/10/10001", Bytes{8, 2, 2, 10, 0, 17, 39}, "protocol: lockstep parameters"},
        {"params 10/50/0/10000", Bytes{8, 10, 50, 0, 0, 16, 39}, ok},
        {"params 1/1/0/10", Bytes{8, 1, 1, 0, 0, 10, 0}, ok},
        {"65 listed games", with_count(GameList{}, 65), "protocol: too many games"},
        {"9 lobby slots", with_count(LobbyState{}, 9), "protocol: too many lobby slots"},
        {"9 start players", with_count(GameStart{}, 9), "protocol: too many players"},
        {"11 ping entries", with_count(PingTable{}, 11), "protocol: too many ping entries"},
        {"game start player id 0", encode_message(GameStart{1, "m", 0, "", {}, {StartPlayer{1, 0, "a"}}, 0}),
         "protocol: player id"},
    };
    for (const auto& [name, payload, expected] : cases) EXPECT_EQ(decode_failure(payload), expected) << name;
    for (int code : {0, 16, 63, 70, 71, 72, 76, 99, 255})
        EXPECT_EQ(decode_failure({static_cast<std::uint8_t>(code)}),
                  "protocol: unknown message type " + std::to_string(code));
}

TEST(MessageCodec, EncoderLimitsAndTheirTexts) {
    const std::string too_long = "protocol: text field too long";
    const auto text = [](std::size_t n) { return std::string(n, 'x'); };
    const std::tuple<const char*, Message, std::string> cases[] = {
        // what the row is, the message, the error text or "no error"
        {"notice of 200", Notice{text(200)}, "no error"},
        {"notice of 201", Notice{text(201)}, too_long},
        {"hello name of 25", Hello{kHelloMagic, 2, 0, 0, text(25)}, too_long},
        {"65 commands", TurnBundle{0, 2, 0, 0, std::vector<Command>(65)}, "protocol: too many commands in a bundle"},
        {"513 units", TurnBundle{0, 2, 0, 0, {command(1, 0, 0, 513)}}, "protocol: too many units in a command"},
        {"65 games", GameList{std::vector<GameListEntry>(65)}, "protocol: too many games"},
        {"9 slots", LobbyState{0, "", "", 0, "", 0, 0, std::vector<LobbySlot>(9)}, "protocol: too many lobby slots"},
        {"9 players", GameStart{0, "", 0, "", {}, std::vector<StartPlayer>(9), 0}, "protocol: too many players"},
        {"11 ping entries", PingTable{std::vector<PingEntry>(11)}, "protocol: too many ping entries"},
        {"blob data of 60000", BlobChunk{0, 67108864, 0, 0, Bytes(60000)}, "no error"},
        {"blob data of 60001", BlobChunk{0, 67108864, 0, 0, Bytes(60001)}, "protocol: blob chunk"},
        {"blob total over 64 MiB", BlobChunk{0, 67108865, 0, 0, Bytes{}}, "protocol: blob chunk"},
        {"blob past its total", BlobChunk{0, 100, 60, 0, Bytes(41)}, "protocol: blob chunk"},
        {"blob offset wrapping 32 bits", BlobChunk{0, 100, 0xFFFFFFFF, 0, Bytes(1)}, "protocol: blob chunk"},
        {"64 full commands", TurnBundle{0, 2, 0, 0, std::vector<Command>(64, command(1, 0, 0, 512))},
         "protocol: message too large"},
    };
    for (const auto& [name, message, expected] : cases) EXPECT_EQ(encode_failure(message), expected) << name;
}

}  // namespace
}  // namespace tarkeep::net
