// The hostile clients' connections and mischief.
#include "tools/relay_load/hostile.h"

#include <array>

#include "net/framing.h"
#include "net/message_codec.h"

namespace tarkeep::relay_load {
namespace {

constexpr std::uint64_t kReconnectUs = 200'000;

std::uint64_t interval_us(HostileKind kind) { return kind == HostileKind::deaf ? 5'000 : 100'000; }

net::Bytes hello_frame() {
    return net::frame_of(net::encode_message(net::Hello{net::kHelloMagic, 2, 1, 1, "hostile"}));
}

}  // namespace

std::uint64_t HostilePeer::next_random() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 7;
    random_ ^= random_ << 17;
    return random_;
}

void HostilePeer::connect(const std::string& host, std::uint16_t port, std::uint64_t now_us, HostileTotals& totals) {
    next_connect_us_ = now_us + kReconnectUs;
    std::string error;
    if (!platform::connect_tcp(host, port, socket_, error, local_host_)) return;
    platform::set_non_blocking(socket_, true);
    ++totals.connects;
    next_action_us_ = now_us;
    script_at_ = 0;
    if (kind_ == HostileKind::deaf) {
        const net::Bytes hello = hello_frame();
        platform::send_some(socket_, hello.data(), hello.size());
    }
    if (kind_ == HostileKind::slow) {
        script_ = hello_frame();
        for (std::uint32_t i = 0; i < 64; ++i) {
            const net::Bytes ping = net::frame_of(net::encode_message(net::Ping{i, 0}));
            script_.insert(script_.end(), ping.begin(), ping.end());
        }
    }
}

net::Bytes HostilePeer::mischief(std::uint64_t now_us) {
    if (kind_ == HostileKind::silent || now_us < next_action_us_) return {};
    next_action_us_ = now_us + interval_us(kind_);
    switch (kind_) {
        case HostileKind::slow: return script_at_ < script_.size() ? net::Bytes{script_[script_at_++]} : net::Bytes{};
        case HostileKind::deaf: return net::frame_of(net::encode_message(net::ListGames{}));
        case HostileKind::garbage: {
            net::Bytes bytes(64);
            for (auto& byte : bytes) byte = static_cast<std::uint8_t>(next_random());
            return bytes;
        }
        case HostileKind::oversized: return net::Bytes{0x40, 0x42, 0x0F, 0x00, 1, 2, 3, 4};
        case HostileKind::silent: break;
    }
    return {};
}

bool HostilePeer::server_closed() {
    // A deaf peer never reads: it learns of the close when a send fails.
    if (kind_ == HostileKind::deaf) return false;
    std::array<std::uint8_t, 4096> chunk;
    for (;;) {
        const platform::IoResult result = platform::receive_some(socket_, chunk.data(), chunk.size());
        if (result.status == platform::IoStatus::would_block) return false;
        if (result.status != platform::IoStatus::done) return true;
    }
}

void HostilePeer::step(const std::string& host, std::uint16_t port, std::uint64_t now_us, HostileTotals& totals) {
    if (!socket_.valid()) {
        if (now_us >= next_connect_us_) connect(host, port, now_us, totals);
        return;
    }
    bool closed = server_closed();
    const net::Bytes bytes = closed ? net::Bytes{} : mischief(now_us);
    if (!bytes.empty()) {
        const platform::IoResult result = platform::send_some(socket_, bytes.data(), bytes.size());
        if (result.status == platform::IoStatus::done) totals.bytes_sent += result.count;
        closed = closed || result.status == platform::IoStatus::failed || result.status == platform::IoStatus::closed;
    }
    if (!closed) return;
    ++totals.closed_by_server;
    socket_.close();
}

}  // namespace tarkeep::relay_load
