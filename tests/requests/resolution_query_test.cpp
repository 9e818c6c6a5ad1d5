// The resolution query through the exported API, answered by the scripted server.
#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <string>

#include "requests/settings_requests.h"
#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/test_server.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::InvokeText;
using vornmt::testing::TestServer;

std::string ResolutionText(int x, int y) {
    return InvokeText("resolution", "<object><property id=\"x\"><number>" + std::to_string(x) +
                                        "</number></property><property id=\"y\"><number>" + std::to_string(y) +
                                        "</number></property></object>");
}

void First(int32_t x, int32_t y, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("first " + std::to_string(x) + "x" + std::to_string(y));
}
void Second(int32_t x, int32_t y, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("second " + std::to_string(x) + "x" + std::to_string(y));
}
// Registers itself again from inside, with the same log, and records the status.
void Reregister(int32_t x, int32_t, void* user_data) {
    int32_t status = GetServerResolution(Reregister, user_data);
    static_cast<EventLog*>(user_data)->Add("again " + std::to_string(x) + " " + std::to_string(status));
}

class ResolutionQuery : public vornmt::testing::ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
        ASSERT_TRUE(server.Accept());
    }
    void ExpectQuery() {
        std::string text;
        ASSERT_TRUE(server.ReadMessage(&text));
        EXPECT_EQ(text, vornmt::requests::BuildResolutionQuery());  // its bytes: request_wire_test
    }
    TestServer server;
    EventLog log;
};

TEST_F(ResolutionQuery, RoundTripAndReplacement) {
    mt::TouchClientRequest request{};
    ASSERT_EQ(SendRequest(request), 0);
    std::string text;
    ASSERT_TRUE(server.ReadMessage(&text));
    EXPECT_EQ(text.rfind("<invoke name='send_request'", 0), 0u);

    ASSERT_EQ(GetServerResolution(First, &log), 0);
    ExpectQuery();
    ASSERT_TRUE(server.SendMessage(ResolutionText(1920, 1080)));
    ASSERT_TRUE(log.WaitForCount(1));

    ASSERT_EQ(GetServerResolution(Second, &log), 0);
    ExpectQuery();
    ASSERT_TRUE(server.SendMessage(ResolutionText(800, 600)));
    ASSERT_TRUE(log.WaitForCount(2));
    EXPECT_EQ(log.events(), (std::vector<std::string>{"first 1920x1080", "second 800x600"}));
}

TEST_F(ResolutionQuery, FailedQueryKeepsTheEarlierCallback) {
    ASSERT_EQ(GetServerResolution(First, &log), 0);
    ExpectQuery();
    DisconnectServer();
    EventLog other;
    EXPECT_EQ(GetServerResolution(Second, &other), 10057);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.SendMessage(ResolutionText(3, 4)));
    ASSERT_TRUE(log.WaitForCount(1));
    EXPECT_EQ(log.events(), std::vector<std::string>{"first 3x4"});
    EXPECT_EQ(other.size(), 0u);
}

TEST_F(ResolutionQuery, CallbackMayRegisterAgainFromInside) {
    ASSERT_EQ(GetServerResolution(Reregister, &log), 0);
    ExpectQuery();
    ASSERT_TRUE(server.SendMessage(ResolutionText(1, 1)));
    ASSERT_TRUE(log.WaitForCount(1));
    ExpectQuery();  // the query sent from inside the callback
    ASSERT_TRUE(server.SendMessage(ResolutionText(2, 2)));
    ASSERT_TRUE(log.WaitForCount(2));
    EXPECT_EQ(log.events(), (std::vector<std::string>{"again 1 0", "again 2 0"}));
}

TEST_F(ResolutionQuery, RequestsWithoutConnectionReturnNotConnected) {
    DisconnectServer();
    mt::TouchClientRequest request{};
    EXPECT_EQ(SendRequest(request), 10057);
    EXPECT_EQ(SendThreshold(5), 10057);
    EXPECT_EQ(SetRawDataResolution(1, 2), 10057);
}

}  // namespace
