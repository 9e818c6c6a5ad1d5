// Connecting, sending and receiving, and how each end learns that the other
// has closed or reset: the numbers must be the Windows Sockets ones on every
// platform.
#include <string>

#include "platform/server_sockets.h"
#include "platform_test_support.h"

namespace vornmt::platform {
namespace {

using testing::ConnectedPair;
using testing::SocketLayerTest;

class SocketsTest : public SocketLayerTest {};

// Reads until `expected` bytes have arrived or the stream ends or fails.
std::string ReceiveBytes(SocketHandle socket, std::size_t expected) {
    std::string received;
    char buffer[64];
    while (received.size() < expected) {
        int error = 0;
        long n = Receive(socket, buffer, sizeof buffer, &error);
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

TEST_F(SocketsTest, ConnectToAPortWithNoListenerIsRefused) {
    int error = 0;
    std::uint16_t port = 0;
    SocketHandle listener = ListenLoopback(0, &port, &error);
    ASSERT_NE(listener, kInvalidSocket) << error;
    CloseSocket(listener);  // the port is now free and nothing listens there

    SocketHandle client = OpenTcpSocket(&error);
    ASSERT_NE(client, kInvalidSocket) << error;
    EXPECT_EQ(ConnectIpv4(client, "127.0.0.1", port), kWsaConnectionRefused);
    CloseSocket(client);
}

TEST_F(SocketsTest, TextThatIsNotADottedAddressFailsWithAddressInvalid) {
    for (const char* text : {"localhost", "", "127.0.0.256", "not an address"}) {
        int error = 0;
        SocketHandle client = OpenTcpSocket(&error);
        ASSERT_NE(client, kInvalidSocket) << error;
        EXPECT_EQ(ConnectIpv4(client, text, 9), kWsaAddressInvalid) << '"' << text << '"';
        CloseSocket(client);
    }
}

TEST_F(SocketsTest, BytesTravelBothWaysIncludingNul) {
    ConnectedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Open());
    SetNoDelay(pair.server);

    const std::string request("<invoke name='get_resolution'/>\0", 32);
    int error = 0;
    ASSERT_EQ(Send(pair.client, request.data(), request.size(), &error), static_cast<long>(request.size())) << error;
    EXPECT_EQ(ReceiveBytes(pair.server, request.size()), request);

    const std::string answer("frame\0gesture\0", 14);
    ASSERT_EQ(Send(pair.server, answer.data(), answer.size(), &error), static_cast<long>(answer.size())) << error;
    EXPECT_EQ(ReceiveBytes(pair.client, answer.size()), answer);
}

TEST_F(SocketsTest, ReceiveReadsAtMostTheCapacityGiven) {
    ConnectedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Open());
    int error = 0;
    ASSERT_EQ(Send(pair.server, "abcdef", 6, &error), 6) << error;
    char buffer[8] = {};
    // The guard byte after the first four must stay untouched.
    long first = Receive(pair.client, buffer, 4, &error);
    ASSERT_GT(first, 0) << error;
    ASSERT_LE(first, 4);
    EXPECT_EQ(buffer[4], '\0');
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(first)) + ReceiveBytes(pair.client, 6 - first), "abcdef");
}

TEST_F(SocketsTest, ReceiveReturnsZeroAfterOrderlyClose) {
    ConnectedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Open());
    int error = 0;
    ASSERT_EQ(Send(pair.server, "last", 4, &error), 4) << error;
    ConnectedPair::CloseEnd(pair.server);

    // Data sent before the close still arrives, then the end of the stream.
    EXPECT_EQ(ReceiveBytes(pair.client, 4), "last");
    char buffer[16];
    EXPECT_EQ(Receive(pair.client, buffer, sizeof buffer, &error), 0);
    EXPECT_EQ(Receive(pair.client, buffer, sizeof buffer, &error), 0) << "the end of the stream is sticky";
}

// Linux and Windows fail the read with 10054 (WSAECONNRESET); Wine gives an
// end of stream instead.
TEST_F(SocketsTest, ReceiveFailsWithConnectionResetAfterAReset) {
    ConnectedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Open());
    SetResetOnClose(pair.server);
    ConnectedPair::CloseEnd(pair.server);

    char buffer[16];
    int error = 0;
    long n = Receive(pair.client, buffer, sizeof buffer, &error);
    testing::ExpectResetRead(n, error);
}

TEST_F(SocketsTest, ShutdownEndsTheStreamForThePeer) {
    ConnectedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Open());
    ShutdownSocket(pair.client);
    char buffer[16];
    int error = 0;
    EXPECT_EQ(Receive(pair.server, buffer, sizeof buffer, &error), 0);
}

// The first send after the peer closed usually succeeds and draws a reset;
// a later one fails. On POSIX this must not raise SIGPIPE, which would end
// the test process here.
TEST_F(SocketsTest, SendToAClosedPeerEventuallyFailsWithAnErrorNumber) {
    ConnectedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Open());
    ConnectedPair::CloseEnd(pair.server);
    ConnectedPair::CloseEnd(pair.listener);

    int error = 0;
    bool failed = testing::WaitUntil([&] {
        char chunk[512] = {};
        return Send(pair.client, chunk, sizeof chunk, &error) < 0;
    });
    ASSERT_TRUE(failed) << "send to a closed peer kept succeeding";
    EXPECT_TRUE(error == kWsaConnectionAborted || error == kWsaConnectionReset || error == kWsaShutdown)
        << "error " << error;
}

}  // namespace
}  // namespace vornmt::platform
