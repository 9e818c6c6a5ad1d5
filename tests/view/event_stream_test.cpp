// What a page is sent: the snapshot a late page starts from, the backlog
// bound that keeps a slow page from costing the touch client, and JSON that
// stays valid whatever bytes the server sent.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "view/event_hub.h"
#include "view/json_text.h"
#include "view/page_backlog.h"

namespace vornmt::tools::view {
namespace {

EventText Text(const std::string& text) { return std::make_shared<const std::string>(text); }

std::vector<std::string> Take(PageBacklog* backlog) {
    std::vector<EventText> events;
    backlog->TakeAll(&events);
    std::vector<std::string> texts;
    for (const EventText& event : events) texts.push_back(*event);
    return texts;
}

TEST(PageBacklog, DropsOldestFramesFirstAndNeverOtherEvents) {
    PageBacklog backlog(3, 100);
    backlog.Push(Text("f1"), true);
    backlog.Push(Text("g1"), false);
    for (const char* frame : {"f2", "f3", "f4", "f5"}) backlog.Push(Text(frame), true);
    backlog.Push(Text("e1"), false);
    EXPECT_EQ(backlog.dropped_frames(), 2u);
    EXPECT_EQ(Take(&backlog), (std::vector<std::string>{"g1", "f3", "f4", "f5", "e1"}));
    EXPECT_FALSE(backlog.overflowed());
}

TEST(PageBacklog, TooManyOtherEventsOverflowInsteadOfGrowing) {
    PageBacklog backlog(3, 4);
    for (int i = 0; i < 4; ++i) backlog.Push(Text("g"), false);
    EXPECT_FALSE(backlog.overflowed());
    backlog.Push(Text("g"), false);
    EXPECT_TRUE(backlog.overflowed());
    backlog.Push(Text("f"), true);
    EXPECT_TRUE(backlog.empty()) << "an overflowed backlog holds nothing more";
}

TEST(JsonText, ServerTextsAlwaysGiveValidJson) {
    std::string out;
    AppendJsonString(&out, "a\"b\\c\n\x01 caf\xc3\xa9 Latin-1 \xe9 cut \xe2\x82");
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\u000a\\u0001 caf\xc3\xa9 Latin-1 \\ufffd cut \\ufffd\\ufffd\"");
    out.clear();
    AppendJsonString(&out, "\xed\xa0\x80 \xc0\xaf");  // a surrogate, an overlong '/'
    EXPECT_EQ(out, "\"\\ufffd\\ufffd\\ufffd \\ufffd\\ufffd\"");
    out.clear();
    AppendJsonNumber(&out, NAN);
    out += ',';
    AppendJsonNumber(&out, -INFINITY);
    out += ',';
    AppendJsonNumber(&out, 0.1);
    EXPECT_EQ(out, "null,null,0.1");
}

// Everything a page receives until it would have to wait.
std::string Drain(EventHub* hub, EventHub::PageId page) {
    std::string out;
    while (hub->WaitForEvents(page, std::chrono::milliseconds(0), &out) == EventHub::Wait::kEvents) {
    }
    return out;
}

TEST(EventHub, LatePageStartsFromTheSnapshot) {
    EventHub hub;
    hub.PublishConnection(ConnectionReport{ConnectionState::kConnected, "127.0.0.1:7100", ""});
    hub.PublishInformation(WireInformation{3, 100, "device"});
    hub.PublishResolution(1920, 1080);
    for (int i = 0; i < static_cast<int>(kSnapshotGestures) + 5; ++i) hub.PublishGesture(i, "TG_" + std::to_string(i), {});
    hub.PublishFrame(7, 70, {WirePoint{1, 4, 100, 200, 30, 30}});
    hub.PublishFrame(8, 80, {WirePoint{2, 4, 110, 210, 30, 30}, WirePoint{2, 5, 130, 230, 30, 30}});
    hub.PublishGesture(99, "TG_LAST", {});
    hub.PublishError(10054);

    EventHub::PageId page = 0;
    ASSERT_TRUE(hub.OpenPage(&page));
    const std::string out = Drain(&hub, page);
    const std::vector<std::string> in_order = {
        "\"type\":\"hello\"", "\"state\":\"connected\"", "\"text\":\"device\"", "\"x\":1920,\"y\":1080",
        "\"number\":\"10054\",\"text\":\"connection reset\"", "\"name\":\"TG_6\"", "\"name\":\"TG_24\"",
        "\"name\":\"TG_LAST\"",
        "\"v0\":8,\"v1\":80,"};
    std::size_t at = 0;
    for (const std::string& part : in_order) {
        at = out.find(part, at);
        ASSERT_NE(at, std::string::npos) << part << " missing or out of order in\n" << out;
    }
    EXPECT_EQ(out.find("\"name\":\"TG_5\""), std::string::npos) << "only the last gestures are replayed";
    EXPECT_EQ(out.find("\"v0\":7,"), std::string::npos) << "only the latest frame is replayed";
    EXPECT_NE(out.find("\"at\":[120,220]"), std::string::npos) << "gestures fire at the latest frame's centre";
}

TEST(EventHub, SlowPageIsToldWhatItMissedAndClosingHandsOverTheRest) {
    EventHub hub;
    EventHub::PageId page = 0;
    ASSERT_TRUE(hub.OpenPage(&page));
    Drain(&hub, page);
    for (int i = 0; i < static_cast<int>(kMaxQueuedFrames) + 10; ++i) hub.PublishFrame(i, i, {});
    hub.PublishGesture(8, "TG_CLICK", {960, 540});
    hub.Close();
    std::string out;
    EXPECT_EQ(hub.WaitForEvents(page, std::chrono::milliseconds(0), &out), EventHub::Wait::kEnded);
    EXPECT_EQ(out.rfind("data: {\"type\":\"dropped\",\"frames\":10}\n\n", 0), 0u) << out.substr(0, 200);
    EXPECT_NE(out.find("\"name\":\"TG_CLICK\""), std::string::npos);
    EXPECT_FALSE(hub.OpenPage(&page));
}

}  // namespace
}  // namespace vornmt::tools::view
