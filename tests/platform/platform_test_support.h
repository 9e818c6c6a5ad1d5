// Helpers shared by the platform tests: a started socket layer and a
// connected loopback pair, each released by its destructor.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/server_sockets.h"
#include "platform/sockets.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace vornmt::platform::testing {

// Keeps the socket layer started for the life of a test.
class SocketLayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartSocketLayer(), 0); }
    void TearDown() override { CleanupSocketLayer(); }
};

// A client socket connected to a server-side socket accepted from a
// loopback listener. Either end may be closed early by the test.
struct ConnectedPair {
    SocketHandle listener = kInvalidSocket;
    SocketHandle client = kInvalidSocket;
    SocketHandle server = kInvalidSocket;
    std::uint16_t port = 0;  // the listener's

    // Fails the test (and leaves invalid handles) when any step fails.
    void Open() {
        int error = 0;
        listener = ListenLoopback(0, &port, &error);
        ASSERT_NE(listener, kInvalidSocket) << error;
        client = OpenTcpSocket(&error);
        ASSERT_NE(client, kInvalidSocket) << error;
        ASSERT_EQ(ConnectIpv4(client, "127.0.0.1", port), 0);
        server = AcceptClient(listener, &error);
        ASSERT_NE(server, kInvalidSocket) << error;
    }

    static void CloseEnd(SocketHandle& socket) {
        if (socket == kInvalidSocket) return;
        CloseSocket(socket);
        socket = kInvalidSocket;
    }

    ~ConnectedPair() {
        CloseEnd(client);
        CloseEnd(server);
        CloseEnd(listener);
    }
};

// Wine reports a reset connection to the reader as an orderly end of stream
// (recv returns 0); Windows and Linux fail the read with 10054. Wine
// exports wine_get_version from its ntdll, Windows does not.
inline bool ResetReadsAsEndOfStream() {
#if defined(_WIN32)
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Checks what a read after the peer's reset gave: n bytes and `error`.
inline void ExpectResetRead(long n, int error) {
    if (ResetReadsAsEndOfStream()) {
        EXPECT_EQ(n, 0);
    } else {
        EXPECT_EQ(n, -1);
        EXPECT_EQ(error, kWsaConnectionReset);
    }
}

// Polls `condition` until it holds or `timeout` passes; for states that no
// wait primitive can report.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace vornmt::platform::testing
