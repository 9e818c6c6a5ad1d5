// One client of the simulator: greets it with "version" and "information",
// answers "get_resolution", logs every request, and once the client has
// subscribed ("send_request") plays it the stream at the stream's timing,
// numbering its frames for this client alone. Sends wait for room at most
// SessionSettings::stall_ms. Runs on a thread of its own;
// the socket belongs to the server, which closes it after Run returns.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/protocol.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "simulator/session_stream.h"
#include "transport/message_framer.h"

namespace vornmt::tools {

// A client that sends more than this without a NUL is cut off: no request of
// the protocol comes near it.
constexpr std::size_t kMaxRequestBytes = 64 * 1024;

// How long a client's socket may take no byte while the stream has
// something for it, by default; then the client is dropped (--stall-seconds).
constexpr int kDefaultStallMs = 10000;

// What every session reads; fixed while the server runs.
struct SessionSettings {
    Stream stream;
    int loops = 0;  // passes played to each client; 0 plays on until it leaves
    // Playback speed: 2 plays the stream twice as fast. The frames and their
    // numbers stay as they are; only the pauses between them shrink.
    double speed = 1.0;
    // What "get_resolution" answers and what "information" announces, unless
    // the stream brings its own (a replay of a recording that holds them).
    WireResolution resolution{1920, 1080};
    WireInformation information;
    // A client that stopped reading is dropped once its socket has taken no
    // byte for this long, so that such clients cannot hold every slot.
    int stall_ms = kDefaultStallMs;
};

// Receives one finished log line. Called from session threads at once, so it
// must be safe to call from several threads.
using LogFunction = std::function<void(const std::string&)>;

class ClientSession {
public:
    ClientSession(int number, platform::SocketHandle socket, const SessionSettings& settings,
                  platform::SocketWakeup& stop, LogFunction log);

    // Serves the client until it leaves, the stream has played all its
    // passes, a send fails or stalls, or `stop` is signalled. Returns what ended it.
    std::string Run();

private:
    using Clock = std::chrono::steady_clock;

    bool SendText(const std::string& text, std::string* failure);
    // Cuts received bytes at NUL bytes (the library's framer) and handles
    // each request.
    bool HandleBytes(const char* data, std::size_t size, std::string* failure);
    bool HandleRequest(const std::string& text, std::string* failure);
    Clock::time_point NextDue() const;
    // Sends every item that is due; false when the stream is over or a send failed.
    bool SendDueItems(std::string* ending);
    void DiscardUnread();
    void Log(const std::string& line) const;

    const int number_;
    const platform::SocketHandle socket_;
    const SessionSettings& settings_;
    platform::SocketWakeup& stop_;
    LogFunction log_;

    transport::MessageFramer framer_{kMaxRequestBytes};
    std::vector<std::string> requests_;  // texts the framer completed, handled at once
    bool streaming_ = false;
    Clock::time_point stream_start_;
    std::size_t next_item_ = 0;
    int pass_ = 0;
    std::uint32_t frames_sent_ = 0;  // wraps rather than overflows on very long runs
    bool stream_over_ = false;
};

}  // namespace vornmt::tools
