#include "tests/support/test_client.h"

#include <array>
#include <stdexcept>

namespace tarkeep::test {

TestClient::TestClient(std::uint16_t port, const std::string& host) {
    // The network stack stays started for the client's whole life: on some platforms
    // the last stop invalidates every socket.
    network_started_ = platform::network_start(connect_error_);
    if (!network_started_) return;
    if (platform::connect_tcp(host, port, socket_, connect_error_)) platform::set_non_blocking(socket_, true);
}

TestClient::~TestClient() {
    socket_.close();
    if (network_started_) platform::network_stop();
}

void TestClient::send(const net::Message& message) { send_raw(net::frame_of(net::encode_message(message))); }

void TestClient::send_raw(const net::Bytes& bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    flush();
}

void TestClient::flush() {
    while (!pending_.empty() && socket_.valid()) {
        const auto result = platform::send_some(socket_, pending_.data(), pending_.size());
        if (result.status != platform::IoStatus::done) return;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(result.count));
    }
}

void TestClient::read_available() {
    std::array<std::uint8_t, 16384> chunk;
    while (socket_.valid() && !peer_closed_) {
        const auto result = platform::receive_some(socket_, chunk.data(), chunk.size());
        if (result.status == platform::IoStatus::done) {
            frames_.append_received(chunk.data(), result.count);
            continue;
        }
        if (result.status == platform::IoStatus::failed) reset_ = true;
        if (result.status != platform::IoStatus::would_block) peer_closed_ = true;
        break;
    }
    net::Bytes payload;
    while (frames_.next_frame(payload)) inbox_.push_back(net::decode_message(payload));
    if (frames_.failure() == net::FrameFailure::invalid_length)
        throw std::runtime_error("test client: " + frames_.error());
}

std::optional<net::Message> TestClient::next_message(const Pump& pump, int max_steps) {
    read_available();
    for (int step = 0; step < max_steps && inbox_.empty() && !peer_closed_; ++step) settle(pump, 1);
    if (inbox_.empty()) return std::nullopt;
    net::Message message = std::move(inbox_.front());
    inbox_.pop_front();
    return message;
}

bool TestClient::wait_closed(const Pump& pump, int max_steps) {
    read_available();
    for (int step = 0; step < max_steps && !peer_closed_; ++step) settle(pump, 1);
    return peer_closed_;
}

void TestClient::settle(const Pump& pump, int steps) {
    for (int step = 0; step < steps; ++step) {
        flush();
        pump();
        read_available();
    }
}

}  // namespace tarkeep::test
