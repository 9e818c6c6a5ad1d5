// Callbacks that end their thread with pthread_exit, as a runtime does when it
// shuts down while a handler runs (Python at exit): the unwinding must pass
// through the library to the end of the thread, not be taken for an
// exception of the callback (which aborts the process). The connection then
// ends normally and a new one works.
#include <VornMTClient.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <vector>

#include "support/api_fixture.h"
#include "support/event_log.h"
#include "support/test_server.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::testing::EventLog;
using vornmt::testing::InvokeText;
using vornmt::testing::TestServer;

const std::string kFrame = InvokeText("frame", "<number>0</number><number>0</number><null/>");

void EndThreadInFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("frame");
    ::pthread_exit(nullptr);
}

void EndThreadInBreak(void*, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("break");
    ::pthread_exit(nullptr);
}

void RecordFrame(int32_t, int32_t, int32_t, const mt::TouchPoint*, void* user_data) {
    static_cast<EventLog*>(user_data)->Add("frame");
}

class ThreadExit : public vornmt::testing::ApiTest {};

TEST_F(ThreadExit, CallbacksEndingTheirThreadLeaveTheProcessRunning) {
    TestServer server;
    EventLog ended;
    SetOnReceivePointFrame(EndThreadInFrame, &ended);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.SendMessage(kFrame));  // ends the dispatch thread
    ASSERT_TRUE(ended.WaitForCount(1));
    EXPECT_EQ(DisconnectServer(), 0);

    EventLog frames;
    SetOnReceivePointFrame(RecordFrame, &frames);
    SetOnServerBreak(EndThreadInBreak, &ended);
    ASSERT_EQ(ConnectServer("127.0.0.1", server.port()), 0);
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.SendMessage(kFrame));
    ASSERT_TRUE(frames.WaitForCount(1));
    server.CloseClient();  // ends the receive thread
    ASSERT_TRUE(ended.WaitForCount(2));
    EXPECT_EQ(DisconnectServer(), 0);
    EXPECT_EQ(ended.events(), (std::vector<std::string>{"frame", "break"}));
}

}  // namespace
