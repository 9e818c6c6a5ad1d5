// A raw HTTP/1.1 client for the view's tests: sends a request (or any bytes)
// and reads the answer as it streams in, each wait bounded by a deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/send_all.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::tools::view {

constexpr int kDeadlineMs = 20000;

class HttpTestClient {
public:
    HttpTestClient() { layer_ = platform::StartSocketLayer(); }
    ~HttpTestClient() {
        Close();
        never_.Close();
        if (layer_ == 0) platform::CleanupSocketLayer();
    }

    // Connects to 127.0.0.1:port and sends a GET for `path`.
    // `host` is the Host header's value; "-" leaves the header out.
    bool Get(std::uint16_t port, const std::string& path, const std::string& host = "") {
        const std::string host_line =
            host == "-" ? "" : "Host: " + (host.empty() ? "127.0.0.1:" + std::to_string(port) : host) + "\r\n";
        return Open(port) && Send("GET " + path + " HTTP/1.1\r\n" + host_line + "\r\n");
    }

    // Connects to 127.0.0.1:port; the socket does not block, so that a
    // server that stops reading cannot stall a test.
    bool Open(std::uint16_t port) {
        if (never_.Open() != 0) return false;
        int error = 0;
        socket_ = platform::OpenTcpSocket(&error);
        if (socket_ == platform::kInvalidSocket || platform::ConnectIpv4(socket_, "127.0.0.1", port) != 0) return false;
        platform::SetNonBlocking(socket_);
        return true;
    }

    // Sends all of `bytes`; false when the server closes or resets first,
    // or stops taking bytes for `timeout_ms`.
    bool Send(const std::string& bytes, int timeout_ms = kDeadlineMs) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            int error = 0;
            const long n = platform::Send(socket_, bytes.data() + sent, bytes.size() - sent, &error);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && error == platform::kWsaWouldBlock) {
                if (platform::WaitWritable(socket_, never_, timeout_ms, &error) != platform::WaitResult::kWritable) {
                    return false;
                }
            } else {
                return false;
            }
        }
        return true;
    }

    // Reads until the answer so far holds `text` `count` times (true), or the
    // stream ends or the deadline passes (false).
    bool ReadUntil(const std::string& text, int count = 1, int timeout_ms = kDeadlineMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (Count(text) < count) {
            if (!ReadSome(deadline)) return false;
        }
        return true;
    }

    // True when the server ends the connection before the deadline.
    bool ReadToEnd(int timeout_ms = kDeadlineMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (ReadSome(deadline)) {
        }
        return ended_;
    }

    int Count(const std::string& text) const {
        int count = 0;
        for (std::size_t at = received_.find(text); at != std::string::npos; at = received_.find(text, at + 1)) ++count;
        return count;
    }
    const std::string& received() const { return received_; }
    void Close() {
        if (socket_ != platform::kInvalidSocket) platform::CloseSocket(socket_);
        socket_ = platform::kInvalidSocket;
    }

private:
    bool ReadSome(std::chrono::steady_clock::time_point deadline) {
        if (ended_) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        int error = 0;
        if (left.count() <= 0 ||
            platform::WaitReadable(socket_, never_, static_cast<int>(left.count()), &error) !=
                platform::WaitResult::kReadable) {
            return false;
        }
        char buffer[16384];
        long n = platform::Receive(socket_, buffer, sizeof buffer, &error);
        if (n <= 0) {
            ended_ = true;
            return false;
        }
        received_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int layer_ = -1;
    platform::SocketHandle socket_ = platform::kInvalidSocket;
    platform::SocketWakeup never_;
    std::string received_;
    bool ended_ = false;
};

}  // namespace vornmt::tools::view
