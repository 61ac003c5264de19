#include "platform/net.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // WSAPoll and inet_ntop
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <mutex>

#include "platform/errors.h"

namespace tarkeep::platform {
namespace {

std::mutex startup_mutex;
int startup_count = 0;

SOCKET native(const Socket& socket) { return static_cast<SOCKET>(socket.handle()); }

std::string with_code(const std::string& text, int code) { return text + " (error " + std::to_string(code) + ")"; }

bool is_would_block(int code) { return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS; }

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

SOCKET open_tcp_socket() { return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

void set_no_delay(SOCKET socket) {
    const BOOL one = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

// Winsock transfers take int lengths; larger requests are simply split by the callers'
// loops.
int clamp_length(std::size_t size) {
    constexpr std::size_t max_chunk = 1073741824;
    return static_cast<int>(size < max_chunk ? size : max_chunk);
}

}  // namespace

void Socket::close() {
    if (!valid()) return;
    closesocket(static_cast<SOCKET>(handle_));
    handle_ = INVALID_SOCKET_HANDLE;
}

bool network_start(std::string& error) {
    std::lock_guard lock(startup_mutex);
    if (startup_count == 0) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            error = "WSAStartup failed";
            return false;
        }
    }
    ++startup_count;
    return true;
}

void network_stop() {
    std::lock_guard lock(startup_mutex);
    if (startup_count == 0) return;
    if (--startup_count == 0) WSACleanup();
}

bool set_non_blocking(const Socket& socket, bool non_blocking) {
    u_long mode = non_blocking ? 1 : 0;
    return ioctlsocket(native(socket), FIONBIO, &mode) == 0;
}

std::string bind_failure_text(const std::string& host, std::uint16_t port, int code) {
    std::string text = "bind " + host + ":" + std::to_string(port) + " (error " + std::to_string(code);
    if (const std::string message = system_message(code); !message.empty()) text += ": " + message;
    if (code == WSAEADDRINUSE) text += "; another program already listens on this port: stop it or choose another port";
    if (code == WSAEACCES)
        text +=
            "; the system refuses this port: it may lie in a range reserved by Windows or Hyper-V (netsh interface "
            "ipv4 show excludedportrange protocol=tcp) or be held exclusively by another program; choose another port";
    return text + ")";
}

bool listen_tcp(const std::string& host, std::uint16_t port, Socket& listener, std::uint16_t& bound_port,
                std::string& error) {
    sockaddr_in address{};
    if (!resolve_ipv4(host, port, address)) {
        error = "cannot resolve " + host;
        return false;
    }
    const SOCKET raw = open_tcp_socket();
    if (raw == INVALID_SOCKET) {
        error = with_code("socket", WSAGetLastError());
        return false;
    }
    Socket socket(static_cast<SocketHandle>(raw));
    // Exclusive use: another process cannot bind the same port over us, and a port in
    // use fails here.
    const BOOL one = TRUE;
    setsockopt(raw, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
    if (bind(raw, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
        error = bind_failure_text(host, port, WSAGetLastError());
        return false;
    }
    // SOMAXCONN asks Winsock for its maximum reasonable backlog; a small one answers a
    // burst of connects with resets.
    if (listen(raw, SOMAXCONN) == SOCKET_ERROR || !set_non_blocking(socket, true)) {
        error = with_code("listen", WSAGetLastError());
        return false;
    }
    sockaddr_in bound{};
    int length = sizeof bound;
    getsockname(raw, reinterpret_cast<sockaddr*>(&bound), &length);
    bound_port = ntohs(bound.sin_port);
    listener = std::move(socket);
    return true;
}

AcceptStatus accept_tcp(const Socket& listener, Socket& connection, std::string& peer, int& error) {
    sockaddr_in address{};
    int length = sizeof address;
    const SOCKET raw = ::accept(native(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (raw == INVALID_SOCKET) {
        const int code = WSAGetLastError();
        // A connection that was reset while it waited is gone, not a failure to report.
        if (is_would_block(code) || code == WSAECONNRESET) return AcceptStatus::none_pending;
        error = code;
        return AcceptStatus::failed;
    }
    Socket socket(static_cast<SocketHandle>(raw));
    if (!set_non_blocking(socket, true)) {
        error = WSAGetLastError();
        return AcceptStatus::failed;
    }
    set_no_delay(raw);
    peer = format_peer(address);
    connection = std::move(socket);
    return AcceptStatus::accepted;
}

bool connect_tcp(const std::string& host, std::uint16_t port, Socket& connection, std::string& error,
                 const std::string& local_host) {
    sockaddr_in address{};
    if (!resolve_ipv4(host, port, address)) {
        error = "cannot resolve " + host;
        return false;
    }
    const SOCKET raw = open_tcp_socket();
    if (raw == INVALID_SOCKET) {
        error = with_code("socket", WSAGetLastError());
        return false;
    }
    Socket socket(static_cast<SocketHandle>(raw));
    if (!local_host.empty()) {
        sockaddr_in local{};
        if (!resolve_ipv4(local_host, 0, local)) {
            error = "cannot resolve " + local_host;
            return false;
        }
        if (bind(raw, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            error = with_code("bind " + local_host, WSAGetLastError());
            return false;
        }
    }
    if (::connect(raw, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
        error = with_code("connect " + host + ":" + std::to_string(port), WSAGetLastError());
        return false;
    }
    set_no_delay(raw);
    connection = std::move(socket);
    return true;
}

IoResult receive_some(const Socket& socket, std::uint8_t* buffer, std::size_t capacity) {
    if (!socket.valid()) return {IoStatus::failed, 0, WSAENOTSOCK};
    const int received = ::recv(native(socket), reinterpret_cast<char*>(buffer), clamp_length(capacity), 0);
    if (received > 0) return {IoStatus::done, static_cast<std::size_t>(received), 0};
    if (received == 0) return {IoStatus::closed, 0, 0};
    const int code = WSAGetLastError();
    if (is_would_block(code)) return {IoStatus::would_block, 0, code};
    return {IoStatus::failed, 0, code};
}

IoResult send_some(const Socket& socket, const std::uint8_t* data, std::size_t size) {
    if (!socket.valid()) return {IoStatus::failed, 0, WSAENOTSOCK};
    const int sent = ::send(native(socket), reinterpret_cast<const char*>(data), clamp_length(size), 0);
    if (sent != SOCKET_ERROR) return {IoStatus::done, static_cast<std::size_t>(sent), 0};
    const int code = WSAGetLastError();
    if (is_would_block(code)) return {IoStatus::would_block, 0, code};
    return {IoStatus::failed, 0, code};
}

IoResult send_gathered(const Socket& socket, std::span<const std::span<const std::uint8_t>> parts) {
    if (!socket.valid()) return {IoStatus::failed, 0, WSAENOTSOCK};
    WSABUF buffers[64];
    DWORD count = 0;
    for (; count < parts.size() && count < 64; ++count) {
        buffers[count].buf = reinterpret_cast<char*>(const_cast<std::uint8_t*>(parts[count].data()));
        buffers[count].len = static_cast<ULONG>(clamp_length(parts[count].size()));
    }
    DWORD sent = 0;
    if (WSASend(native(socket), buffers, count, &sent, 0, nullptr, nullptr) == 0)
        return {IoStatus::done, static_cast<std::size_t>(sent), 0};
    const int code = WSAGetLastError();
    if (is_would_block(code)) return {IoStatus::would_block, 0, code};
    return {IoStatus::failed, 0, code};
}

bool shutdown_send(const Socket& socket) { return socket.valid() && ::shutdown(native(socket), SD_SEND) == 0; }

int poll_sockets(std::vector<PollItem>& items, int timeout_ms, int* error) {
    if (items.empty()) {
        // WSAPoll rejects an empty set; wait the timeout instead.
        Sleep(static_cast<DWORD>(timeout_ms < 0 ? 0 : timeout_ms));
        return 0;
    }
    std::vector<WSAPOLLFD> fds(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        fds[i].fd = static_cast<SOCKET>(items[i].socket);
        fds[i].events =
            static_cast<SHORT>((items[i].want_read ? POLLRDNORM : 0) | (items[i].want_write ? POLLWRNORM : 0));
        fds[i].revents = 0;
    }
    const int ready = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeout_ms);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].readable = (fds[i].revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
        items[i].writable = (fds[i].revents & POLLWRNORM) != 0;
    }
    if (ready == SOCKET_ERROR) {
        if (error) *error = WSAGetLastError();
        return -1;
    }
    return ready;
}

}  // namespace tarkeep::platform
