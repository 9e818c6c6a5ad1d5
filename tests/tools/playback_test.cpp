#include "simulator/playback.h"

#include <gtest/gtest.h>

#include <set>

namespace vornmt::tools {
namespace {

PlaybackPass Play(const std::string& text, int rate) {
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(ParseScenario(text, &scenario, &error)) << error;
    return PlayScenario(scenario, rate);
}

TEST(Playback, TapShowsDownThenMoveThenUpAtTheFrameTimes) {
    PlaybackPass pass = Play("wait 20\ndown 4 100 200 8 9\nwait 80\nup 4\nwait 100\n", 100);
    ASSERT_EQ(pass.frames.size(), 9u);  // 20 ms .. 100 ms
    for (std::size_t i = 0; i < pass.frames.size(); ++i) {
        const TimedFrame& timed = pass.frames[i];
        EXPECT_DOUBLE_EQ(timed.time_ms, 20.0 + 10.0 * static_cast<double>(i));
        ASSERT_EQ(timed.frame.points.size(), 1u);
        const WirePoint& point = timed.frame.points[0];
        const int state = i == 0 ? kPointDown : i + 1 == pass.frames.size() ? kPointUp : kPointMove;
        EXPECT_EQ(point.code_0, state) << "frame " << i;
        EXPECT_EQ(point.code_1, 4);
        EXPECT_EQ(point.x, 100);
        EXPECT_EQ(point.y, 200);
        EXPECT_EQ(point.aux_0, 8);
        EXPECT_EQ(point.aux_1, 9);
    }
    EXPECT_DOUBLE_EQ(pass.length_ms, 200);
}

TEST(Playback, TouchShorterThanAFrameStillGoesDownAndUp) {
    PlaybackPass pass = Play("down 1 0 0\nwait 1\nup 1\n", 10);
    ASSERT_EQ(pass.frames.size(), 2u);
    EXPECT_EQ(pass.frames[0].frame.points.at(0).code_0, kPointDown);
    EXPECT_EQ(pass.frames[1].frame.points.at(0).code_0, kPointUp);
    EXPECT_DOUBLE_EQ(pass.frames[1].time_ms, 100);
    // The pass is long enough to hold the up frame.
    EXPECT_GT(pass.length_ms, pass.frames.back().time_ms);
}

TEST(Playback, FingerGoingDownAgainWithinOneFrameWaitsForTheNextFrame) {
    PlaybackPass pass = Play("down 1 0 0\nwait 1\nup 1\ndown 1 5 5\nwait 1\nup 1\n", 10);
    ASSERT_EQ(pass.frames.size(), 4u);
    const int states[] = {kPointDown, kPointUp, kPointDown, kPointUp};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(pass.frames[i].frame.points.size(), 1u) << "one finger id appears once per frame";
        EXPECT_EQ(pass.frames[i].frame.points[0].code_0, states[i]);
    }
    EXPECT_EQ(pass.frames[2].frame.points[0].x, 5);
}

TEST(Playback, GlidesLinearlyAndANewMoveCutsTheOldShort) {
    PlaybackPass pass = Play("down 1 0 0\n"
                             "move 1 100 0 100\n"
                             "wait 50\n"
                             "move 1 50 100 50\n"  // from wherever the finger is now
                             "wait 50\n"
                             "up 1\n",
                             100);
    ASSERT_EQ(pass.frames.size(), 11u);
    for (int k = 0; k <= 5; ++k) {
        EXPECT_EQ(pass.frames[static_cast<std::size_t>(k)].frame.points[0].x, 10 * k) << k;
        EXPECT_EQ(pass.frames[static_cast<std::size_t>(k)].frame.points[0].y, 0) << k;
    }
    const WirePoint& last = pass.frames[10].frame.points[0];
    EXPECT_EQ(last.x, 50);
    EXPECT_EQ(last.y, 100);
    EXPECT_EQ(last.code_0, kPointUp);
}

TEST(Playback, ArcTurnsClockwiseOnTheScreenForPositiveDegrees) {
    PlaybackPass pass = Play("down 1 100 0\narc 1 0 0 90 100\nwait 100\nup 1\n", 20);
    ASSERT_EQ(pass.frames.size(), 3u);
    // Right of the centre, then down-right, then below it (y grows downwards).
    EXPECT_EQ(pass.frames[1].frame.points[0].x, 71);
    EXPECT_EQ(pass.frames[1].frame.points[0].y, 71);
    EXPECT_EQ(pass.frames[2].frame.points[0].x, 0);
    EXPECT_EQ(pass.frames[2].frame.points[0].y, 100);
}

TEST(Playback, PointsAppearInTheOrderTheirFingersWentDown) {
    PlaybackPass pass = Play("down 9 0 0\nwait 10\ndown 2 5 5\nwait 10\nup 9\nup 2\n", 100);
    ASSERT_EQ(pass.frames.size(), 3u);
    EXPECT_EQ(pass.frames[0].frame.points.size(), 1u);
    ASSERT_EQ(pass.frames[1].frame.points.size(), 2u);
    EXPECT_EQ(pass.frames[1].frame.points[0].code_1, 9);
    EXPECT_EQ(pass.frames[1].frame.points[1].code_1, 2);
    EXPECT_EQ(pass.frames[1].frame.points[1].code_0, kPointDown);
    EXPECT_EQ(pass.frames[2].frame.points[0].code_0, kPointUp);
    EXPECT_EQ(pass.frames[2].frame.points[1].code_0, kPointUp);
}

TEST(Playback, BuiltinsNeverRepeatAnIdWithinAFrame) {
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        for (int rate : {kMinFrameRate, 7, 100, kMaxFrameRate}) {
            PlaybackPass pass = Play(builtin.text, rate);
            double previous = -1;
            for (const TimedFrame& timed : pass.frames) {
                std::set<int> ids;
                for (const WirePoint& point : timed.frame.points) {
                    EXPECT_TRUE(ids.insert(point.code_1).second) << builtin.name << " at " << rate;
                }
                EXPECT_GT(timed.time_ms, previous);
                previous = timed.time_ms;
            }
            EXPECT_GT(pass.length_ms, previous);
        }
    }
}

}  // namespace
}  // namespace vornmt::tools
