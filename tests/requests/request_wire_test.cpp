// The exact bytes each request puts on the wire, read back by the scripted server.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/process_identity.h"
#include "requests/client_request.h"
#include "platform/socket_wait.h"
#include "requests/outbound_socket.h"
#include "requests/settings_requests.h"
#include "support/test_server.h"

namespace vornmt::requests {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

const std::string kHead = "<invoke name='";
const std::string kArgs = "' returntype=\"xml\"><arguments>";
const std::string kTail = "</arguments></invoke>";

// A client socket connected straight to the scripted server, attached the
// way the connection attaches it: non-blocking, with a cancel wake-up.
class Wire : public ::testing::Test {
protected:
    void SetUp() override {
        int error = 0;
        socket = platform::OpenTcpSocket(&error);
        ASSERT_EQ(platform::ConnectIpv4(socket, "127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
        ASSERT_EQ(cancel.Open(), 0);
        platform::SetNonBlocking(socket);
        outbound.Attach(socket, &cancel);
    }
    void TearDown() override {
        outbound.Detach();
        platform::CloseSocket(socket);
    }

    std::string Received() {
        std::string text;
        EXPECT_TRUE(server.ReadMessage(&text));
        return text;
    }

    std::string ExpectedRequest(const std::string& key, const std::string& param, const std::string& type) {
        return kHead + "send_request" + kArgs + "<object><property id=\"app_key_id\"><string>" + key +
               "</string></property><property id=\"app_name\"><string>" + platform::ExecutableBaseName() +
               "</string></property><property id=\"param\"><string>" + param +
               "</string></property><property id=\"process_id\"><number>" +
               std::to_string(static_cast<int>(platform::CurrentProcessId())) +
               "</number></property><property id=\"type\"><number>" + type +
               "</number></property><property id=\"version\"><number>259</number></property></object>" + kTail;
    }

    testing::TestServer server;
    platform::SocketHandle socket = platform::kInvalidSocket;
    platform::SocketWakeup cancel;
    OutboundSocket outbound;
};

TEST_F(Wire, SubscriptionRequests) {
    mt::TouchClientRequest request{};
    request.type = 1;
    ASSERT_EQ(SendRequest(outbound, request), 0);
    EXPECT_EQ(Received(), ExpectedRequest("{00000000-0000-0000-0000-000000000000}", "", "1"));

    const unsigned char bytes[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                     0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    std::memcpy(&request.app_key_id, bytes, sizeof bytes);
    request.type = static_cast<int32_t>(0x80000000u);
    std::memset(request.param, 'p', 127);
    ASSERT_EQ(SendRequest(outbound, request), 0);
    EXPECT_EQ(Received(), ExpectedRequest("{00112233-4455-6677-8899-aabbccddeeff}", std::string(127, 'p'), "-2147483648"));

    std::memset(&request.app_key_id, 0xff, sizeof request.app_key_id);
    request.type = 0;
    std::strcpy(request.param, "a<b&c>\"d\"");
    ASSERT_EQ(SendRequest(outbound, request), 0);
    EXPECT_EQ(Received(), ExpectedRequest("{ffffffff-ffff-ffff-ffff-ffffffffffff}", "a&lt;b&amp;c&gt;\"d\"", "0"));
}

TEST_F(Wire, ParamWithoutNulIsSentAsItsWholeField) {
    mt::TouchClientRequest request{};
    std::memset(request.param, 'z', sizeof request.param);
    ASSERT_EQ(SendRequest(outbound, request), 0);
    EXPECT_EQ(Received(), ExpectedRequest("{00000000-0000-0000-0000-000000000000}", std::string(128, 'z'), "0"));
}

TEST_F(Wire, KeyGroupsKeepLeadingZeros) {
    mt::TouchGuid key{};
    key.Data1 = 0x12;
    key.Data2 = 0xA;
    key.Data4[7] = 0x1;
    EXPECT_EQ(FormatAppKeyId(key), "{00000012-000a-0000-0000-000000000001}");
}

TEST_F(Wire, SettingsAndQuery) {
    ASSERT_EQ(SendThreshold(outbound, -25), 0);
    ASSERT_EQ(SetRawDataResolution(outbound, 0, 0), 0);
    ASSERT_EQ(outbound.Send(BuildResolutionQuery()), 0);
    EXPECT_EQ(Received(), kHead + "send_threshold" + kArgs +
                              "<object><property id=\"move_threshold\"><number>-25</number></property></object>" + kTail);
    EXPECT_EQ(Received(), kHead + "set_rawdata_resolution" + kArgs +
                              "<object><property id=\"x\"><number>0</number></property>"
                              "<property id=\"y\"><number>0</number></property></object>" +
                              kTail);
    EXPECT_EQ(Received(), "<invoke name='get_resolution' returntype=\"xml\"><arguments></arguments></invoke>");
}

TEST_F(Wire, NoConnectionSendsNothing) {
    mt::TouchClientRequest request{};
    EXPECT_EQ(SendRequest(OutboundSocket(), request), 10057);
    EXPECT_EQ(SendThreshold(OutboundSocket(), 1), 10057);
    EXPECT_EQ(SetRawDataResolution(OutboundSocket(), 1, 2), 10057);
    EXPECT_EQ(OutboundSocket().Send("x"), 10057);
}

TEST_F(Wire, SendToAClosedPeerFailsWithAnErrorNumber) {
    server.ResetClient();
    int result = 0;
    // The first sends may still be accepted locally; the reset surfaces soon.
    for (int i = 0; i < 100 && result == 0; ++i) result = SendThreshold(outbound, i);
    EXPECT_GE(result, 10000);
}

// Several threads share one OutboundSocket. The messages are far
// larger than the socket buffers and the server reads a few KiB at a time,
// so nearly every send is partial; without the send lock the parts of
// different threads' messages would land between each other.
TEST_F(Wire, MessagesFromSeveralThreadsNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 16;
    std::vector<std::string> texts;
    for (int t = 0; t < kThreads; ++t) texts.emplace_back(256 * 1024, static_cast<char>('a' + t));
    std::atomic<int> failed_sends{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                if (outbound.Send(texts[t]) != 0) ++failed_sends;
        });
    }
    std::vector<int> received(kThreads, 0);
    for (int i = 0; i < kThreads * kPerThread; ++i) {
        std::string text;
        if (!server.ReadMessage(&text)) break;
        int sender = text.empty() ? -1 : text[0] - 'a';
        if (sender < 0 || sender >= kThreads || text != texts[sender]) {
            ADD_FAILURE() << "message " << i << " of " << text.size() << " bytes mixes several messages";
            break;
        }
        ++received[sender];
    }
    // Ends the sends still waiting for room after a failure, so the threads end.
    cancel.Signal();
    for (std::thread& thread : senders) thread.join();
    EXPECT_EQ(received, std::vector<int>(kThreads, kPerThread));
    EXPECT_EQ(failed_sends.load(), 0);
}

}  // namespace
}  // namespace vornmt::requests
