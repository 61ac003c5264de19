#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "net/framing.h"
#include "net/message_codec.h"
#include "platform/net.h"

namespace tarkeep::test {

// A relay client for tests, speaking the real protocol over a real socket. It never
// blocks: the caller passes a `pump` that advances the server (poll_once for a server in
// the same thread, or a short sleep for a server in another process) and the client
// reads between pumps.
class TestClient {
public:
    using Pump = std::function<void()>;

    explicit TestClient(std::uint16_t port, const std::string& host = "127.0.0.1");
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool connected() const { return socket_.valid(); }
    const std::string& connect_error() const { return connect_error_; }

    // Queues a message (or raw bytes) and sends as much as the socket takes now; the
    // rest goes out on later pumps.
    void send(const net::Message& message);
    void send_raw(const net::Bytes& bytes);
    void flush();
    // Closes the socket as a client would when it quits.
    void close() { socket_.close(); }

    // Reads what has arrived and decodes every complete frame into the inbox.
    void read_available();
    std::deque<net::Message>& inbox() { return inbox_; }
    bool peer_closed() const { return peer_closed_; }
    // The connection ended with an error (a reset) rather than an orderly end of stream.
    bool reset() const { return reset_; }

    // Pumps until a message is in the inbox (returned and removed) or `max_steps` pass.
    std::optional<net::Message> next_message(const Pump& pump, int max_steps = 500);
    // Like next_message, but the message must be of type T.
    template <typename T>
    std::optional<T> next(const Pump& pump, int max_steps = 500) {
        auto message = next_message(pump, max_steps);
        if (!message || !std::holds_alternative<T>(*message)) return std::nullopt;
        return std::get<T>(std::move(*message));
    }
    // Pumps until the server has closed the connection; messages that arrive on the way
    // stay in the inbox.
    bool wait_closed(const Pump& pump, int max_steps = 500);
    // Pumps `steps` times, reading in between.
    void settle(const Pump& pump, int steps = 5);

private:
    bool network_started_ = false;
    platform::Socket socket_;
    std::string connect_error_;
    net::FrameBuffers frames_;
    net::Bytes pending_;
    std::deque<net::Message> inbox_;
    bool peer_closed_ = false;
    bool reset_ = false;
};

// Skips whatever arrives before the first message of type T (lobby states, pings ...).
template <typename T>
std::optional<T> skip_to(TestClient& client, const TestClient::Pump& pump, int max_steps = 500) {
    for (int i = 0; i < 50; ++i) {
        auto message = client.next_message(pump, max_steps);
        if (!message) return std::nullopt;
        if (auto* wanted = std::get_if<T>(&*message)) return std::move(*wanted);
    }
    return std::nullopt;
}

}  // namespace tarkeep::test
