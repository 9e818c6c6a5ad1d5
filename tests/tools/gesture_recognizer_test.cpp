#include "simulator/gesture_recognizer.h"

#include <gtest/gtest.h>

#include "client/gesture_names.h"
#include "simulator/gesture_sequence.h"
#include "simulator/playback.h"
#include "simulator/session_stream.h"

namespace vornmt::tools {
namespace {

std::vector<WireGesture> Recognize(const std::string& text, int rate = 100) {
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(ParseScenario(text, &scenario, &error)) << error;
    return StreamGestures(StreamFromScenario(scenario, rate));
}

std::vector<int> Codes(const std::vector<WireGesture>& gestures) {
    std::vector<int> codes;
    for (const WireGesture& gesture : gestures) codes.push_back(gesture.code);
    return codes;
}

std::vector<int> Expected(const std::string& text) {
    std::vector<int> codes;
    EXPECT_TRUE(ExpandGestureSequence(text, &codes)) << text;
    return codes;
}

std::string Names(const std::vector<int>& codes) {
    std::string names;
    for (int code : codes) names += std::string(client::GestureNameOfCode(static_cast<unsigned>(code))) + " ";
    return names;
}

TEST(GestureRecognizer, EachBuiltinProducesItsDocumentedSequenceAtAnyUsualRate) {
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        for (int rate : {20, 33, 60, 100, 250}) {
            std::vector<int> got = Codes(Recognize(builtin.text, rate));
            std::vector<int> want = Expected(builtin.expected_gestures);
            EXPECT_EQ(got, want) << builtin.name << " at " << rate << " frames/s\n got: " << Names(got)
                                 << "\nwant: " << Names(want);
        }
    }
}

TEST(GestureRecognizer, TapsTooSlowTooFarOrTooLongAreNoDoubleClick) {
    const std::vector<int> two_clicks =
        Expected("TG_TOUCH_START TG_DOWN TG_UP TG_CLICK TG_TOUCH_END TG_TOUCH_START TG_DOWN TG_UP TG_CLICK TG_TOUCH_END");
    // A gap above kDoubleClickGapMs.
    EXPECT_EQ(Codes(Recognize("down 1 0 0\nwait 50\nup 1\nwait 500\ndown 1 0 0\nwait 50\nup 1\n")), two_clicks);
    // A second tap beyond kDoubleClickSlopPx.
    EXPECT_EQ(Codes(Recognize("down 1 0 0\nwait 50\nup 1\nwait 100\ndown 1 100 0\nwait 50\nup 1\n")), two_clicks);
    // Held longer than kClickMaxMs: no click at all.
    EXPECT_EQ(Codes(Recognize("down 1 0 0\nwait 500\nup 1\n")),
              Expected("TG_TOUCH_START TG_DOWN TG_UP TG_TOUCH_END"));
}

TEST(GestureRecognizer, SingleFingerReportsEachDirectionStepAndItsPosition) {
    std::vector<WireGesture> gestures = Recognize("down 1 500 500\n"
                                                  "move 1 380 500 200\nwait 200\n"
                                                  "move 1 380 610 200\nwait 200\n"
                                                  "up 1\n");
    EXPECT_EQ(Codes(gestures), Expected("TG_TOUCH_START TG_DOWN TG_MOVE TG_MOVE_LEFT x2 TG_MOVE_DOWN x2 TG_UP "
                                        "TG_TOUCH_END"));
    ASSERT_GE(gestures.size(), 2u);
    EXPECT_EQ(gestures[0].params, (std::vector<double>{1}));  // one finger
    EXPECT_EQ(gestures[1].params, (std::vector<double>{500, 500}));
}

TEST(GestureRecognizer, PinchingInStartsWithCloseSteps) {
    std::vector<WireGesture> gestures = Recognize("down 1 800 500\ndown 2 1200 500\nwait 50\n"
                                                  "move 1 955 500 300\nmove 2 1045 500 300\nwait 300\n"
                                                  "up 1\nup 2\n");
    EXPECT_EQ(Codes(gestures), Expected("TG_TOUCH_START TG_SPLIT_START TG_SPLIT_CLOSE x7 TG_SPLIT_END TG_TOUCH_END"));
    const WireGesture& end = gestures.at(gestures.size() - 2);
    ASSERT_EQ(end.params.size(), 4u);
    EXPECT_DOUBLE_EQ(end.params[0], 1000);  // centre
    EXPECT_DOUBLE_EQ(end.params[2], 90);     // distance
    EXPECT_DOUBLE_EQ(end.params[3], 0.225);  // scale from the start
}

TEST(GestureRecognizer, AnticlockwiseTurnReportsNegativeAngles) {
    std::vector<WireGesture> gestures = Recognize("down 1 900 500\ndown 2 1100 500\nwait 50\n"
                                                  "arc 1 1000 500 -45 400\narc 2 1000 500 -45 400\nwait 400\n"
                                                  "up 1\nup 2\n");
    EXPECT_EQ(Codes(gestures),
              Expected("TG_TOUCH_START TG_ROTATE_START TG_ROTATE_ANTICLOCK x2 TG_ROTATE_END TG_TOUCH_END"));
    EXPECT_LT(gestures.at(1).params.at(2), -kRotateStartDegrees + 1e-9);
    EXPECT_NEAR(gestures.at(gestures.size() - 2).params.at(2), -45, 1.0);
}

TEST(GestureRecognizer, SecondFingerJoiningTurnsASingleTouchIntoATwoFingerGesture) {
    EXPECT_EQ(Codes(Recognize("down 1 500 500\nwait 100\n"
                              "down 2 700 500\nwait 50\n"
                              "move 2 810 500 300\nwait 300\n"
                              "up 1\nup 2\n")),
              Expected("TG_TOUCH_START TG_DOWN TG_SPLIT_START TG_SPLIT_APART x2 TG_SPLIT_END TG_TOUCH_END"));
}

TEST(GestureRecognizer, ThirdFingerEndsTheTwoFingerGestureAndStartsAMultiFingerOne) {
    EXPECT_EQ(Codes(Recognize("down 1 500 500\ndown 2 600 500\nwait 50\n"
                              "move 2 710 500 100\nwait 100\n"
                              "down 3 600 600\nwait 100\n"
                              "up 1\nup 2\nup 3\n")),
              Expected("TG_TOUCH_START TG_SPLIT_START TG_SPLIT_APART x2 TG_SPLIT_END TG_MULTI_DOWN TG_MULTI_UP "
                       "TG_TOUCH_END"));
}

TEST(GestureRecognizer, FingerVanishingWithoutAnUpCountsAsLifted) {
    GestureRecognizer recognizer;
    WireFrame down;
    down.points.push_back(WirePoint{kPointDown, 1, 10, 20, 30, 30});
    WireFrame empty;
    std::vector<int> codes = Codes(recognizer.OnFrame(down, 0));
    for (const WireGesture& gesture : recognizer.OnFrame(empty, 10)) codes.push_back(gesture.code);
    EXPECT_EQ(codes, Expected("TG_TOUCH_START TG_DOWN TG_UP TG_CLICK TG_TOUCH_END"));
    // And the recogniser is ready for the next touch.
    EXPECT_EQ(Codes(recognizer.OnFrame(down, 1000)), Expected("TG_TOUCH_START TG_DOWN"));
}

}  // namespace
}  // namespace vornmt::tools
