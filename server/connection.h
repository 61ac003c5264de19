// One client socket with its framed input and output.
#pragma once
#include <cstdint>
#include <string>

#include "net/framing.h"
#include "platform/net.h"
#include "server/output_queue.h"

namespace tarkeep::server {

// One client socket with its framed input and output. Owns the socket.
class Connection {
public:
    Connection(platform::Socket socket, std::uint64_t buffer_limit,
               std::uint32_t max_frame_length = net::kMaxClientFrame)
        : socket_(std::move(socket)), buffer_limit_(buffer_limit), frames_(max_frame_length) {}

    // Reads until the socket would block, pausing while the unconsumed input exceeds
    // the buffer limit. Peer close and errors fail the connection.
    void receive();
    // Writes until everything is sent or the socket would block; false once failed.
    bool send_pending();
    // Encoded message payload -> output, within the buffer limit. A refusal fails the
    // connection ("output buffer full").
    bool queue_frame(std::span<const std::uint8_t> payload) { return queue_shared(make_frame(payload)); }
    bool queue_shared(SharedFrame frame);
    bool next_frame(net::Bytes& payload) { return frames_.next_frame(payload); }
    void check_frame_length() { frames_.check_frame_length(); }
    void close() { socket_.close(); }
    // Reads and throws away what has arrived; true once the peer has closed (or the
    // socket failed), false while it would block.
    bool discard_input();

    bool failed() const { return frames_.failed(); }
    const std::string& error() const { return frames_.error(); }
    net::FrameFailure failure() const { return frames_.failure(); }
    bool has_unsent() const { return output_.unsent_size() != 0; }
    std::uint64_t unsent_size() const { return output_.unsent_size(); }
    std::uint64_t total_received() const { return total_received_; }
    std::uint64_t buffer_limit() const { return buffer_limit_; }
    const platform::Socket& socket() const { return socket_; }
    net::FrameBuffers& frames() { return frames_; }

private:
    platform::Socket socket_;
    std::uint64_t buffer_limit_;
    net::FrameBuffers frames_;  // the input side only; output is shared frames
    OutputQueue output_;
    std::uint64_t total_received_ = 0;
};

}  // namespace tarkeep::server
