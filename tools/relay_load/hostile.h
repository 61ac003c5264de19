// Hostile clients beside the honest games: silent, slow, never-reading, garbage, oversized.
#pragma once
#include <cstdint>
#include <string>

#include "net/byte_codec.h"
#include "platform/net.h"

namespace tarkeep::relay_load {

enum class HostileKind { silent, slow, deaf, garbage, oversized };
inline constexpr int kHostileKinds = 5;

struct HostileTotals {
    std::uint64_t connects = 0;
    std::uint64_t closed_by_server = 0;
    std::uint64_t bytes_sent = 0;
};

// One misbehaving client. When the server closes it, it comes back (at most every
// 200 ms), as an attacker would.
//   silent:    connects and never says a word;
//   slow:      sends its Hello and then pings one byte every 100 ms;
//   deaf:      asks for the game list up to 200 times a second and never reads an answer;
//   garbage:   sends 64 random bytes every 100 ms;
//   oversized: announces a frame of 1 MB every 100 ms.
class HostilePeer {
public:
    HostilePeer(HostileKind kind, std::string local_host, std::uint64_t seed)
        : kind_(kind), local_host_(std::move(local_host)), random_(seed | 1) {}

    void step(const std::string& host, std::uint16_t port, std::uint64_t now_us, HostileTotals& totals);
    HostileKind kind() const { return kind_; }
    bool connected() const { return socket_.valid(); }

private:
    void connect(const std::string& host, std::uint16_t port, std::uint64_t now_us, HostileTotals& totals);
    // Next bytes of its mischief when due; empty when nothing is due.
    net::Bytes mischief(std::uint64_t now_us);
    bool server_closed();
    std::uint64_t next_random();

    HostileKind kind_;
    std::string local_host_;
    std::uint64_t random_;
    platform::Socket socket_;
    std::uint64_t next_connect_us_ = 0;
    std::uint64_t next_action_us_ = 0;
    net::Bytes script_;  // what a slow peer trickles
    std::size_t script_at_ = 0;
};

}  // namespace tarkeep::relay_load
