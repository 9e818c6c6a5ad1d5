// One end of a test connection that speaks the wire's framing with the
// library's own pieces: bytes go out whole through platform::SendAll, and
// texts are cut at NUL bytes by transport::MessageFramer. The scripted test
// server and the raw protocol client both use it. Every wait has a deadline.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "transport/message_framer.h"

namespace vornmt::testing {

class FramedPeer {
public:
    FramedPeer();
    ~FramedPeer();
    FramedPeer(const FramedPeer&) = delete;
    FramedPeer& operator=(const FramedPeer&) = delete;

    // Takes `socket` over; a socket held before is closed first.
    void Attach(platform::SocketHandle socket);
    bool attached() const { return socket_ != platform::kInvalidSocket; }

    // Sends all of `bytes`.
    bool Send(const std::string& bytes);
    bool SendMessage(const std::string& text) { return Send(text + std::string(1, '\0')); }
    // The next text the other end completed with a NUL (without the NUL).
    bool ReadText(std::string* text, int timeout_ms);
    // True once something not yet returned is here or arrives in time.
    bool WaitForData(int timeout_ms);
    // True when the other end closes or resets in time; what arrives before
    // is kept for ReadText.
    bool WaitForEnd(int timeout_ms);

    // Orderly close, or reset (linger 0).
    void Close();
    void Reset();
    // Closes the connection and the wake-up; the owner calls it before it
    // cleans up the socket layer.
    void Release();

private:
    // Reads once; false on time-out, end or error.
    bool Fill(int timeout_ms);
    // Frames received bytes and keeps the texts they complete.
    void Keep(const char* data, std::size_t size);

    platform::SocketHandle socket_ = platform::kInvalidSocket;
    platform::SocketWakeup never_;  // WaitReadable needs one; nothing signals it
    bool never_open_ = false;
    std::optional<transport::MessageFramer> framer_;  // a fresh one per connection
    std::deque<std::string> texts_;  // complete texts not yet returned
    std::vector<std::string> batch_;
};

}  // namespace vornmt::testing
