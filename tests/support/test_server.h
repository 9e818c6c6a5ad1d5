// Scripted loopback server for tests: listens on 127.0.0.1 at a free port,
// accepts one client at a time, and lets a test send exact bytes (whole or
// split), read what the client sent up to each NUL, close or reset. Every
// wait has a deadline, so a broken client fails a test instead of hanging it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/server_sockets.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "support/framed_peer.h"

namespace vornmt::testing {

class TestServer {
public:
    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::uint16_t port() const { return port_; }

    // Waits for the next client; a client still held is closed first.
    bool Accept(int timeout_ms = 10000);
    bool has_client() const { return client_.attached(); }

    // Sends all of `bytes` to the current client.
    bool Send(const std::string& bytes) { return client_.Send(bytes); }
    // Sends one message text followed by its NUL.
    bool SendMessage(const std::string& text) { return Send(text + std::string(1, '\0')); }

    // Reads the next NUL-terminated text the client sent (without its NUL).
    bool ReadMessage(std::string* text, int timeout_ms = 10000);
    // Waits until the client has sent something not yet read (timeout 0: looks
    // without waiting).
    bool WaitForData(int timeout_ms = 10000);
    // Waits until the client has closed or reset its end of the connection.
    bool WaitForClientEnd(int timeout_ms = 10000);

    // Orderly close, or reset (linger 0), of the current client.
    void CloseClient();
    void ResetClient();
    // Stops listening: later connects are refused.
    void StopListening();
    // Listens again on the same port, as a server that restarted.
    bool ListenAgain();

private:
    platform::SocketHandle listener_ = platform::kInvalidSocket;
    platform::SocketWakeup never_;  // WaitReadable needs one; nothing signals it
    std::uint16_t port_ = 0;
    FramedPeer client_;
};

// Builds the text of an inbound message the way a server writes it.
std::string InvokeText(const std::string& name, const std::string& arguments_xml);

}  // namespace vornmt::testing
