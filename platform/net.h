// Sockets: listening, accepting, connecting, non-blocking reads and writes, poll.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarkeep::platform {

// Wide enough for both a POSIX descriptor and a Winsock SOCKET.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle INVALID_SOCKET_HANDLE = ~SocketHandle{0};

// Owns one socket and closes it when destroyed or moved from.
class Socket {
public:
    Socket() = default;
    explicit Socket(SocketHandle handle) : handle_(handle) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : handle_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.release();
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return handle_ != INVALID_SOCKET_HANDLE; }
    SocketHandle handle() const { return handle_; }
    SocketHandle release() {
        const SocketHandle handle = handle_;
        handle_ = INVALID_SOCKET_HANDLE;
        return handle;
    }
    void close();

private:
    SocketHandle handle_ = INVALID_SOCKET_HANDLE;
};

// Network stack start-up, reference-counted process-wide so that several servers can
// share it. Each successful network_start needs one network_stop.
bool network_start(std::string& error);
void network_stop();

// IPv4 TCP listener on host:port (an empty host means any address; port 0 lets the
// system choose), non-blocking, address reuse off so a port in use fails to bind, with
// the largest backlog the system allows (a burst of connects must not wait or be reset).
// On failure `error` is "cannot resolve <host>", "socket (error N)",
// bind_failure_text(...) or "listen (error N)".
bool listen_tcp(const std::string& host, std::uint16_t port, Socket& listener, std::uint16_t& bound_port,
                std::string& error);

// The text of a bind that failed with the platform's `code`:
// "bind <host>:<port> (error N: <the system's message>)", and for a port in use or one
// the system refuses (Windows reports either 10048 or 10013, POSIX EADDRINUSE or EACCES)
// a hint on what to do, after "; " inside the parentheses.
std::string bind_failure_text(const std::string& host, std::uint16_t port, int code);

enum class AcceptStatus { accepted, none_pending, failed };
// Accepts one pending connection, made non-blocking with Nagle off. `peer` is the dotted
// IPv4 address, ':' and the port. On failure (out of descriptors, for one) `error` is the
// platform's own code and the connection, if one was taken, is closed.
AcceptStatus accept_tcp(const Socket& listener, Socket& connection, std::string& peer, int& error);

// Blocking IPv4 connect (used by tests and tools acting as clients). A non-empty
// `local_host` binds the socket to that local address first (a load tool spreads its
// clients over several loopback addresses this way).
bool connect_tcp(const std::string& host, std::uint16_t port, Socket& connection, std::string& error,
                 const std::string& local_host = {});
bool set_non_blocking(const Socket& socket, bool non_blocking);

enum class IoStatus { done, would_block, closed, failed };
struct IoResult {
    IoStatus status = IoStatus::failed;
    std::size_t count = 0;  // bytes moved when done
    int error = 0;          // the platform's own code when failed
};
IoResult receive_some(const Socket& socket, std::uint8_t* buffer, std::size_t capacity);
IoResult send_some(const Socket& socket, const std::uint8_t* data, std::size_t size);
// One gathered send of several buffers in order (at most 64 are taken per call).
IoResult send_gathered(const Socket& socket, std::span<const std::span<const std::uint8_t>> parts);
// Ends the sending direction (the peer reads end of stream once queued data is sent);
// reading stays possible.
bool shutdown_send(const Socket& socket);

struct PollItem {
    SocketHandle socket = INVALID_SOCKET_HANDLE;
    bool want_read = false;
    bool want_write = false;
    bool readable = false;  // results; hang-ups and errors count as readable
    bool writable = false;
};
// Waits until one item is ready or the timeout passes; an empty set just sleeps.
// Returns the number of ready items, or -1 on error with the platform's code in `error`
// when given. An interrupting signal is no error: the wait just ends early.
int poll_sockets(std::vector<PollItem>& items, int timeout_ms, int* error = nullptr);

}  // namespace tarkeep::platform
