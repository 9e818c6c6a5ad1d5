#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "client/callback_registry.h"
#include "support/resolution_pair.h"
#include "support/test_server.h"
#include "transport/route_message.h"

namespace vornmt::transport {
namespace {

namespace mt = Vorn_SDK_MultiTouch;
using testing::InvokeText;

std::string Num(const std::string& text) { return "<number>" + text + "</number>"; }
std::string Str(const std::string& text) { return "<string>" + text + "</string>"; }
std::string Point(int a, int b, int c, int d, int e, int f) {
    std::string xml = "<array>";
    int values[] = {a, b, c, d, e, f};
    for (int i = 0; i < 6; ++i) xml += "<property id=\"" + std::to_string(i) + "\">" + Num(std::to_string(values[i])) + "</property>";
    return xml + "</array>";
}
std::string Array(const std::vector<std::string>& elements) {
    std::string xml = "<array>";
    for (std::size_t i = 0; i < elements.size(); ++i)
        xml += "<property id=\"" + std::to_string(i) + "\">" + elements[i] + "</property>";
    return xml + "</array>";
}

// Records every delivery of a registry of its own, as text, with the
// user_data pointer checked per slot.
class Routing : public ::testing::Test {
protected:
    void SetUp() override {
        registry.SetPointFrame(OnFrame, &frame_tag);
        registry.SetGesture(OnGesture, &gesture_tag);
        registry.SetDeviceInfo(OnInfo, &info_tag);
        registry.SetError(OnError, &error_tag);
        testing::StoreResolutionPair(registry, {OnResolution, &resolution_tag});
        current = this;
    }

    int Route(const std::string& name, const std::string& arguments) {
        return RouteMessage(InvokeText(name, arguments), registry, points);
    }

    static void OnFrame(int32_t v0, int32_t v1, int32_t count, const mt::TouchPoint* p, void* user_data) {
        EXPECT_EQ(user_data, &current->frame_tag);
        EXPECT_EQ(p, current->points.points);
        std::string text = "frame " + std::to_string(v0) + " " + std::to_string(v1) + " " + std::to_string(count);
        for (int i = 0; i < count; ++i)
            text += " [" + std::to_string(p[i].code_1) + " " + std::to_string(p[i].code_0) + " " + std::to_string(p[i].x) +
                    " " + std::to_string(p[i].y) + " " + std::to_string(p[i].aux_0) + " " + std::to_string(p[i].aux_1) + "]";
        current->events.push_back(text);
    }
    static void OnGesture(const mt::TouchGesture* g, void* user_data) {
        EXPECT_EQ(user_data, &current->gesture_tag);
        current->last_gesture = *g;
        current->events.push_back("gesture " + std::to_string(g->code) + " " + std::to_string(g->param_count));
    }
    static void OnInfo(const mt::TouchDeviceInfo* info, void* user_data) {
        EXPECT_EQ(user_data, &current->info_tag);
        current->last_info = *info;
        current->events.push_back("info " + std::to_string(info->info_value_0) + " " +
                                  std::to_string(info->info_value_1) + " " + info->info_text);
        if (current->throw_from_info) throw std::runtime_error("application fault");
    }
    static void OnResolution(int32_t x, int32_t y, void* user_data) {
        EXPECT_EQ(user_data, &current->resolution_tag);
        current->events.push_back("resolution " + std::to_string(x) + " " + std::to_string(y));
    }
    static void OnError(int32_t code, void* user_data) {
        EXPECT_EQ(user_data, &current->error_tag);
        char text[32];
        std::snprintf(text, sizeof text, "error 0x%08x", static_cast<unsigned>(code));
        current->events.push_back(text);
    }

    static inline Routing* current = nullptr;
    client::CallbackRegistry registry;
    PointBuffer points;
    int frame_tag = 0, gesture_tag = 0, info_tag = 0, error_tag = 0, resolution_tag = 0;
    bool throw_from_info = false;
    mt::TouchGesture last_gesture{};
    mt::TouchDeviceInfo last_info{};
    std::vector<std::string> events;
};

const std::string kBad = "error 0x31000001";

TEST_F(Routing, FrameDecodesPointsWithSwappedCodesTruncationAndLow16Bits) {
    EXPECT_EQ(Route("frame", Num("5") + Num("1000") + Array({Point(1, 2, 100, 200, 3, 4)})), 0);
    EXPECT_EQ(Route("frame", Num("-1.9") + Num("7") +
                                 Array({"<array><property id=\"0\">" + Num("70000") + "</property><property id=\"1\">" +
                                        Num("-1") + "</property><property id=\"2\">" + Num("99.7") +
                                        "</property><property id=\"3\">" + Num("-5.5") + "</property><property id=\"4\">" +
                                        Num("0") + "</property><property id=\"5\">" + Num("65536") +
                                        "</property><property id=\"6\">" + Str("ignored") + "</property></array>"})),
              0);
    EXPECT_EQ(events, (std::vector<std::string>{"frame 5 1000 1 [2 1 100 200 3 4]", "frame -1 7 1 [65535 4464 99 -5 0 0]"}));
}

TEST_F(Routing, EmptyAndNullPointListsAndBufferReuse) {
    Route("frame", Num("0") + Num("0") + Array({Point(1, 1, 1, 1, 1, 1), Point(2, 2, 2, 2, 2, 2), Point(3, 3, 3, 3, 3, 3)}));
    Route("frame", Num("0") + Num("0") + Array({Point(9, 9, 9, 9, 9, 9)}));
    EXPECT_EQ(points.points[1].x, 2);  // the rest of the buffer is left as it was
    EXPECT_EQ(points.points[2].x, 3);
    Route("frame", Num("1") + Num("2") + "<array></array>");
    Route("frame", Num("1") + Num("2") + "<null/>");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1], "frame 0 0 1 [9 9 9 9 9 9]");
    EXPECT_EQ(events[2], "frame 1 2 0");
    EXPECT_EQ(events[3], "frame 1 2 0");
}

TEST_F(Routing, FrameLimits) {
    std::vector<std::string> many;
    for (int i = 0; i < 150; ++i) many.push_back(Point(i, i, i, i, i, i));
    many[120] = Str("beyond the buffer, never read");
    EXPECT_EQ(Route("frame", Num("0") + Num("0") + Array(many)), 0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].substr(0, 13), "frame 0 0 100");
    EXPECT_EQ(points.points[99].x, 99);

    events.clear();
    EXPECT_EQ(Route("frame", Num("0") + Num("0") + Array({Num("3")})), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(Route("frame", Num("0") + Num("0") + Array({Array({Num("1"), Num("2"), Num("3"), Num("4"), Num("5")})})),
              mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(Route("frame", Num("0") + Num("0") + Str("points?")), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(Route("frame", Str("5") + Num("0") + "<null/>"), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(Route("frame", Num("0") + Num("0") + Array({Array({Num("1"), Num("2"), Str("3"), Num("4"), Num("5"), Num("6")})})),
              mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(events, std::vector<std::string>(5, kBad));  // reported, nothing delivered
}

TEST_F(Routing, GestureParameters) {
    Route("gesture", Num("3") + Num("2") + Num("1.5") + Num("7"));
    EXPECT_EQ(last_gesture.code, 3);
    EXPECT_EQ(last_gesture.param_count, 2);
    EXPECT_EQ(last_gesture.params[0], 1.5);
    EXPECT_EQ(last_gesture.params[1], 7.0);
    for (int i = 2; i < 6; ++i) EXPECT_EQ(last_gesture.params[i], 0.0);

    Route("gesture", Num("65535") + Num("0"));
    EXPECT_EQ(last_gesture.code, 65535);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(last_gesture.params[i], 0.0);

    // More than six: the first six, with the count lowered to six.
    std::string eight;
    for (int i = 1; i <= 8; ++i) eight += Num(std::to_string(i));
    EXPECT_EQ(Route("gesture", Num("70000") + Num("8") + eight), 0);
    EXPECT_EQ(last_gesture.code, 4464);
    EXPECT_EQ(last_gesture.param_count, 6);
    EXPECT_EQ(last_gesture.params[5], 6.0);

    events.clear();
    EXPECT_EQ(Route("gesture", Num("1") + Num("1") + Str("x")), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(Route("gesture", Num("1") + Num("-1")), mt::ERR_BAD_MESSAGE);  // 65535 parameters announced
    EXPECT_EQ(events, std::vector<std::string>(2, kBad));
}

// One parameter fewer than announced. The decoder reads parameters with
// bounds checks, so a count check that let this through would throw out of
// the routing and fail the test, whatever lies past the arguments.
TEST_F(Routing, GestureCountBeyondTheArgumentsIsRefusedBeforeReading) {
    EXPECT_EQ(Route("gesture", Num("1") + Num("3") + Num("1") + Num("2")), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(events, std::vector<std::string>{kBad});
}

TEST_F(Routing, ResolutionVersionInformation) {
    EXPECT_EQ(Route("resolution", "<object><property id=\"y\">" + Num("1080") + "</property><property id=\"x\">" +
                                      Num("1920") + "</property><property id=\"z\">" + Str("more") + "</property></object>"),
              0);
    EXPECT_EQ(Route("resolution", "<object><property id=\"x\">" + Num("1023.9") + "</property><property id=\"y\">" +
                                      Num("-0.5") + "</property></object>"),
              0);
    for (const char* minor : {"9", "-3"}) Route("version", Num("1") + Num(minor) + "<null/><null/><null/>");
    for (const char* pair : {"1 10", "2 0", "0 5"}) {
        std::string major(pair, 1), minor(pair + 2);
        EXPECT_EQ(Route("version", Num(major) + Num(minor) + Num("0") + Num("0") + Num("0")), 0);
    }
    EXPECT_EQ(Route("information", Num("7") + Num("2") + Str("abc")), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"resolution 1920 1080", "resolution 1023 0", "error 0x31000002",
                                                "error 0x31000002", "info 7 2 abc"}));
    for (std::size_t i = 4; i < sizeof last_info.info_text; ++i) ASSERT_EQ(last_info.info_text[i], 0);
}

TEST_F(Routing, InformationTextIsCutToFitItsNul) {
    Route("information", Num("0") + Num("0") + Str(std::string(127, 'a')));
    EXPECT_EQ(std::string(last_info.info_text), std::string(127, 'a'));
    Route("information", Num("0") + Num("0") + Str(std::string(300, 'b')));
    EXPECT_EQ(std::string(last_info.info_text), std::string(127, 'b'));
    EXPECT_EQ(last_info.info_text[127], '\0');
}

TEST_F(Routing, InformationTextEndsAtItsFirstNulWithNothingBehindIt) {
    Route("information", Num("0") + Num("0") + Str("AB&#0;HIDDEN"));
    EXPECT_STREQ(last_info.info_text, "AB");
    for (std::size_t i = 2; i < sizeof last_info.info_text; ++i) ASSERT_EQ(last_info.info_text[i], 0) << i;
}

TEST_F(Routing, ShortArgumentListsAndMissingPropertiesAreBadMessages) {
    const std::pair<const char*, std::string> bad[] = {
        {"frame", Num("1") + Num("2")},
        {"gesture", Num("1")},
        {"version", Num("1") + Num("2") + Num("3") + Num("4")},
        {"information", Num("1")},
        {"information", Num("1") + Num("2")},
        {"information", Num("1") + Num("2") + Num("3")},  // text of the wrong kind
        {"resolution", ""},
        {"resolution", "<null/>"},
        {"resolution", "<object><property id=\"x\">" + Num("1") + "</property></object>"},
        {"resolution", Num("5")},
    };
    for (const auto& [name, arguments] : bad) EXPECT_EQ(Route(name, arguments), mt::ERR_BAD_MESSAGE) << name << arguments;
    EXPECT_EQ(events, std::vector<std::string>(std::size(bad), kBad));
}

TEST_F(Routing, UnknownNamesAreIgnoredAndUnparsableTextsReported) {
    EXPECT_EQ(Route("Frame", Num("1") + Num("2") + "<null/>"), 0);
    EXPECT_EQ(Route("hello", ""), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(RouteMessage("<invoke name='frame'><arguments>", registry, points), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(RouteMessage("not xml at all", registry, points), mt::ERR_BAD_MESSAGE);
    std::string deep = InvokeText("frame", std::string(5000, '<') + "a>");
    EXPECT_EQ(RouteMessage(deep, registry, points), mt::ERR_BAD_MESSAGE);
    EXPECT_EQ(events, std::vector<std::string>(3, kBad));
}

TEST_F(Routing, ThrowingCallbackIsReportedOnceAndTheNextMessageIsDelivered) {
    throw_from_info = true;
    EXPECT_EQ(Route("information", Num("1") + Num("2") + Str("x")), 0);
    throw_from_info = false;
    EXPECT_EQ(Route("information", Num("3") + Num("4") + Str("y")), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"info 1 2 x", "error 0x31000003", "info 3 4 y"}));
}

}  // namespace
}  // namespace vornmt::transport
