#include "view/bounded_http_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#if !defined(_WIN32)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vornmt::tools::view {
namespace {

using Clock = std::chrono::steady_clock;

// The few calls that differ between Windows Sockets and POSIX (whose
// headers cpp-httplib has included on Windows).
#if defined(_WIN32)
using IoLength = int;
constexpr int kSendFlags = 0;
int PollOne(socket_t socket, short events, int timeout_ms) {
    WSAPOLLFD entry{socket, events, 0};
    return WSAPoll(&entry, 1, timeout_ms);
}
bool Interrupted() { return WSAGetLastError() == WSAEINTR; }
void ShutdownConnection(socket_t socket) { shutdown(socket, SD_BOTH); }
void CloseConnection(socket_t socket) {
    shutdown(socket, SD_BOTH);
    closesocket(socket);
}
#else
using IoLength = std::size_t;
constexpr int kSendFlags = MSG_NOSIGNAL;
int PollOne(socket_t socket, short events, int timeout_ms) {
    pollfd entry{socket, events, 0};
    return poll(&entry, 1, timeout_ms);
}
bool Interrupted() { return errno == EINTR; }
void ShutdownConnection(socket_t socket) { shutdown(socket, SHUT_RDWR); }
void CloseConnection(socket_t socket) {
    shutdown(socket, SHUT_RDWR);
    close(socket);
}
#endif

// True when `socket` is ready for `events` within `timeout_ms`.
bool WaitFor(socket_t socket, short events, int timeout_ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        const int ready = PollOne(socket, events, static_cast<int>(std::max<long long>(left, 0)));
        if (ready >= 0 || !Interrupted()) return ready > 0;
    }
}

void AddressText(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[64] = "";
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

// One connection's bytes as cpp-httplib reads and writes them. Reads come
// from a small buffer filled by at most kMaxRequestHeadBytes in all, before
// the head's deadline; past either, a read fails as a broken stream does.
class RequestStream final : public httplib::Stream {
public:
    RequestStream(socket_t socket, int write_timeout_ms)
        : socket_(socket), write_timeout_ms_(write_timeout_ms),
          head_deadline_(Clock::now() + std::chrono::milliseconds(kRequestHeadMs)) {}

    bool is_readable() const override {
        if (used_ < filled_) return true;
        if (received_ >= kMaxRequestHeadBytes) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(head_deadline_ - Clock::now()).count();
        return left > 0 && WaitFor(socket_, POLLIN, static_cast<int>(left));
    }
    bool is_writable() const override { return WaitFor(socket_, POLLOUT, write_timeout_ms_); }

    ssize_t read(char* data, std::size_t size) override {
        if (used_ == filled_) {
            if (!is_readable()) return -1;
            const std::size_t room = std::min(sizeof buffer_, kMaxRequestHeadBytes - received_);
            ssize_t got = 0;
            do {
                got = recv(socket_, buffer_, static_cast<IoLength>(room), 0);
            } while (got < 0 && Interrupted());
            if (got <= 0) return got;
            received_ += static_cast<std::size_t>(got);
            used_ = 0;
            filled_ = static_cast<std::size_t>(got);
        }
        const std::size_t count = std::min(size, filled_ - used_);
        std::memcpy(data, buffer_ + used_, count);
        used_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* data, std::size_t size) override {
        if (!is_writable()) return -1;
        ssize_t sent = 0;
        do {
            sent = send(socket_, data, static_cast<IoLength>(size), kSendFlags);
        } while (sent < 0 && Interrupted());
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) AddressText(address, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) AddressText(address, ip, port);
    }
    socket_t socket() const override { return socket_; }

private:
    const socket_t socket_;
    const int write_timeout_ms_;
    const Clock::time_point head_deadline_;
    char buffer_[4096];
    std::size_t used_ = 0;
    std::size_t filled_ = 0;
    std::size_t received_ = 0;  // from the socket, in all
};

}  // namespace

void BoundedHttpServer::EndConnections() {
    std::lock_guard<std::mutex> hold(mutex_);
    ending_ = true;
    for (socket_t socket : open_) ShutdownConnection(socket);
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (ending_) {
            CloseConnection(sock);
            return false;
        }
        open_.insert(sock);
    }
    bool closed = false;
    bool served = false;
    {
        RequestStream stream(sock, static_cast<int>(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000));
        // The one request of this connection: cpp-httplib answers it with
        // "Connection: close" and reads nothing after it.
        served = process_request(stream, /*close_connection=*/true, closed, nullptr);
    }
    std::lock_guard<std::mutex> hold(mutex_);
    open_.erase(sock);
    CloseConnection(sock);
    return served;
}

}  // namespace vornmt::tools::view
