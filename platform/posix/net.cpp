#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>

#include "platform/errors.h"

namespace tarkeep::platform {
namespace {

std::mutex startup_mutex;
int startup_count = 0;

int fd(const Socket& socket) { return static_cast<int>(socket.handle()); }
int fd(SocketHandle handle) { return static_cast<int>(handle); }

std::string with_code(const std::string& text, int code) { return text + " (error " + std::to_string(code) + ")"; }

bool is_would_block(int code) { return code == EAGAIN || code == EWOULDBLOCK || code == EINPROGRESS; }

bool resolve_ipv4(const std::string& host, std::uint16_t port, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    if (host.empty()) hints.ai_flags = AI_PASSIVE;
    addrinfo* results = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &results) != 0 || !results)
        return false;
    address = *reinterpret_cast<const sockaddr_in*>(results->ai_addr);
    freeaddrinfo(results);
    return true;
}

std::string format_peer(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

void Socket::close() {
    if (!valid()) return;
    ::close(fd(handle_));
    handle_ = INVALID_SOCKET_HANDLE;
}

bool network_start(std::string&) {
    std::lock_guard lock(startup_mutex);
    ++startup_count;
    return true;
}

void network_stop() {
    std::lock_guard lock(startup_mutex);
    if (startup_count > 0) --startup_count;
}

bool set_non_blocking(const Socket& socket, bool non_blocking) {
    const int flags = fcntl(fd(socket), F_GETFL, 0);
    if (flags < 0) return false;
    const int wanted = non_blocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd(socket), F_SETFL, wanted) == 0;
}

// Resolves host:port and opens a TCP socket for it; false with `error` set on failure.
static bool open_tcp_socket(const std::string& host, std::uint16_t port, sockaddr_in& address, Socket& socket,
                            std::string& error) {
    if (!resolve_ipv4(host, port, address)) {
        error = "cannot resolve " + host;
        return false;
    }
    socket = Socket(static_cast<SocketHandle>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (fd(socket) < 0) {
        socket.release();
        error = with_code("socket", errno);
        return false;
    }
    return true;
}

std::string bind_failure_text(const std::string& host, std::uint16_t port, int code) {
    std::string text = "bind " + host + ":" + std::to_string(port) + " (error " + std::to_string(code);
    if (const std::string message = system_message(code); !message.empty()) text += ": " + message;
    if (code == EADDRINUSE) text += "; another program already listens on this port: stop it or choose another port";
    if (code == EACCES)
        text += "; the system refuses this port: ports below 1024 need administrator rights; choose another port";
    return text + ")";
}

bool listen_tcp(const std::string& host, std::uint16_t port, Socket& listener, std::uint16_t& bound_port,
                std::string& error) {
    sockaddr_in address{};
    Socket socket;
    if (!open_tcp_socket(host, port, address, socket, error)) return false;
    // SO_REUSEADDR lets a restarted server take its port while the connections of the one
    // before wait out TIME_WAIT (a minute on Linux). A port another socket listens on still
    // fails here: the option never lets two listeners share an address.
    const int one = 1;
    setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = bind_failure_text(host, port, errno);
        return false;
    }
    // The kernel caps the backlog at its own maximum (somaxconn on Linux), so asking
    // for the largest int gets exactly that.
    if (listen(fd(socket), INT_MAX) != 0 || !set_non_blocking(socket, true)) {
        error = with_code("listen", errno);
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(fd(socket), reinterpret_cast<sockaddr*>(&bound), &length);
    bound_port = ntohs(bound.sin_port);
    listener = std::move(socket);
    return true;
}

AcceptStatus accept_tcp(const Socket& listener, Socket& connection, std::string& peer, int& error) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int accepted;
    do {
        accepted = ::accept(fd(listener), reinterpret_cast<sockaddr*>(&address), &length);
    } while (accepted < 0 && errno == EINTR);
    if (accepted < 0) {
        // A connection that was reset while it waited is gone, not a failure to report.
        if (is_would_block(errno) || errno == ECONNABORTED) return AcceptStatus::none_pending;
        error = errno;
        return AcceptStatus::failed;
    }
    Socket socket(static_cast<SocketHandle>(accepted));
    if (!set_non_blocking(socket, true)) {
        error = errno;
        return AcceptStatus::failed;
    }
    const int one = 1;
    setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    peer = format_peer(address);
    connection = std::move(socket);
    return AcceptStatus::accepted;
}

bool connect_tcp(const std::string& host, std::uint16_t port, Socket& connection, std::string& error,
                 const std::string& local_host) {
    sockaddr_in address{};
    Socket socket;
    if (!open_tcp_socket(host, port, address, socket, error)) return false;
    if (!local_host.empty()) {
        sockaddr_in local{};
        if (!resolve_ipv4(local_host, 0, local)) {
            error = "cannot resolve " + local_host;
            return false;
        }
        if (bind(fd(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            error = with_code("bind " + local_host, errno);
            return false;
        }
    }
    if (::connect(fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = with_code("connect " + host + ":" + std::to_string(port), errno);
        return false;
    }
    const int one = 1;
    setsockopt(fd(socket), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connection = std::move(socket);
    return true;
}

IoResult receive_some(const Socket& socket, std::uint8_t* buffer, std::size_t capacity) {
    if (!socket.valid()) return {IoStatus::failed, 0, EBADF};
    ssize_t received;
    do {
        received = ::recv(fd(socket), buffer, capacity, 0);
    } while (received < 0 && errno == EINTR);
    if (received > 0) return {IoStatus::done, static_cast<std::size_t>(received), 0};
    if (received == 0) return {IoStatus::closed, 0, 0};
    if (is_would_block(errno)) return {IoStatus::would_block, 0, errno};
    return {IoStatus::failed, 0, errno};
}

IoResult send_some(const Socket& socket, const std::uint8_t* data, std::size_t size) {
    if (!socket.valid()) return {IoStatus::failed, 0, EBADF};
    ssize_t sent;
    do {
        // MSG_NOSIGNAL: a peer that went away is an error result, not a SIGPIPE.
        sent = ::send(fd(socket), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0) return {IoStatus::done, static_cast<std::size_t>(sent), 0};
    if (is_would_block(errno)) return {IoStatus::would_block, 0, errno};
    return {IoStatus::failed, 0, errno};
}

IoResult send_gathered(const Socket& socket, std::span<const std::span<const std::uint8_t>> parts) {
    if (!socket.valid()) return {IoStatus::failed, 0, EBADF};
    iovec vectors[64];
    const std::size_t count = std::min<std::size_t>(parts.size(), 64);
    for (std::size_t i = 0; i < count; ++i) vectors[i] = {const_cast<std::uint8_t*>(parts[i].data()), parts[i].size()};
    msghdr message{};
    message.msg_iov = vectors;
    message.msg_iovlen = count;
    ssize_t sent;
    do {
        sent = ::sendmsg(fd(socket), &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0) return {IoStatus::done, static_cast<std::size_t>(sent), 0};
    if (is_would_block(errno)) return {IoStatus::would_block, 0, errno};
    return {IoStatus::failed, 0, errno};
}

bool shutdown_send(const Socket& socket) { return socket.valid() && ::shutdown(fd(socket), SHUT_WR) == 0; }

int poll_sockets(std::vector<PollItem>& items, int timeout_ms, int* error) {
    std::vector<pollfd> fds(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        fds[i].fd = fd(items[i].socket);
        fds[i].events = static_cast<short>((items[i].want_read ? POLLIN : 0) | (items[i].want_write ? POLLOUT : 0));
    }
    int ready = ::poll(fds.data(), fds.size(), timeout_ms);
    // An interrupting signal (the stop request) simply ends the wait early.
    if (ready < 0 && errno == EINTR) ready = 0;
    if (ready < 0 && error) *error = errno;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].readable = (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        items[i].writable = (fds[i].revents & POLLOUT) != 0;
    }
    return ready;
}

}  // namespace tarkeep::platform
