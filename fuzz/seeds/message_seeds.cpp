// Relay message seeds: one of every message kind, with every list and text filled.
#include "fuzz/seeds/seed_corpus.h"
#include "net/message_codec.h"

namespace tarkeep::fuzz {
namespace {

using namespace tarkeep::net;

std::vector<Message> messages() {
    Command move{3, 7, -1200, 40, 9, 2, 5, true, {11, 12, 4096}};
    Command stop;
    TurnBundle bundle{2, 41, 1, 300, {move, stop}};
    GameList list{{{1, "Skirmish", "Isles", 2, 4, false, 7}, {2, "Ranked", "Dunes", 8, 8, true, 9}}};
    LobbyState lobby{
        5, "Skirmish", "Isles", 0xABCDEF, "speed=2;fog=1", 7, 4, {{7, "ann", true, 35}, {8, "bo", false, 0}}};
    GameStart start{5, "Isles", 0xABCDEF, "speed=2", {3, 2, 12, 150}, {{7, 1, "ann"}, {8, 2, "bo"}}, 1};
    return {Hello{kHelloMagic, kProtocolVersion, 0x1122334455667788, 42, "ann"},
            ListGames{},
            CreateGame{"Skirmish", "Isles", 0xABCDEF, 4, "speed=2;fog=1"},
            JoinGame{5},
            LeaveGame{},
            SetReady{true},
            Chat{"gl hf"},
            StartGame{{3, 2, 12, 150}},
            bundle,
            HashReport{1, 640, 0xFEEDFACECAFEBEEF},
            GameSignal{2, 77},
            Ping{9, 123456789},
            Pong{9, 123456789},
            Goodbye{},
            BlobChunk{7, 10, 4, 99, {1, 2, 3, 4, 5, 6}},
            Welcome{7, kProtocolVersion, "welcome to the relay"},
            Refused{"server full"},
            list,
            lobby,
            ChatRelay{8, "bo", "ready?"},
            start,
            PlayerDropped{2, 40, "timed out"},
            PingTable{{{1, 30}, {2, 250}}},
            Notice{"restart in 5 minutes"}};
}

}  // namespace

std::vector<Seed> message_seeds() {
    std::vector<Seed> seeds;
    for (const Message& message : messages()) {
        seeds.push_back({"type_" + std::to_string(message_type(message)), encode_message(message)});
    }
    return seeds;
}

}  // namespace tarkeep::fuzz
