#include "common/recording.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "simulator/session_stream.h"

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace vornmt::tools {
namespace {

Recording SampleRecording() {
    Recording recording;
    recording.events.push_back(RecordedEvent{0.25, WireInformation{10, 100, " leading blank, back\\slash,\nnew line\tand tab"}});
    recording.events.push_back(RecordedEvent{1.5, WireResolution{1920, 1080}});
    recording.events.push_back(
        RecordedEvent{12, WireFrame{7, -3, {{1, 2, -100, 200, 30, 40}, {3, 65535, 2147483647, -2147483647 - 1, 0, 1}}}});
    recording.events.push_back(RecordedEvent{12, WireFrame{8, 0, {}}});
    recording.events.push_back(RecordedEvent{12.125, WireGesture{33, {960.5, 1.0 / 3.0, -0.0, 1e-7, 5e12, 2}}});
    recording.events.push_back(RecordedEvent{20, WireGesture{128, {}}});
    return recording;
}

std::string TextOf(const Recording& recording) {
    std::string text = std::string(kRecordingMagic) + "\n";
    for (const RecordedEvent& event : recording.events) text += FormatRecordedEvent(event) + "\n";
    return text;
}

void ExpectSameRecording(const Recording& got, const Recording& want) {
    ASSERT_EQ(got.events.size(), want.events.size());
    for (std::size_t i = 0; i < got.events.size(); ++i) {
        EXPECT_EQ(got.events[i].time_ms, want.events[i].time_ms) << "event " << i;
        EXPECT_TRUE(got.events[i].event == want.events[i].event) << "event " << i;
    }
}

TEST(RecordingFormat, RoundTripKeepsEveryValueExactly) {
    Recording parsed;
    std::string error;
    ASSERT_TRUE(ParseRecording(TextOf(SampleRecording()), &parsed, &error)) << error;
    ExpectSameRecording(parsed, SampleRecording());
}

TEST(RecordingFormat, AcceptsWindowsLineBreaksCommentsAndBlankLines) {
    std::string text = std::string(kRecordingMagic) +
                       "\r\n# made by hand\r\n\r\nframe 5 1 2 1 1 1 10 20 30 30\r\n"
                       "information 6 1 2 text \\\\ end\r\n";
    Recording parsed;
    std::string error;
    ASSERT_TRUE(ParseRecording(text, &parsed, &error)) << error;
    ASSERT_EQ(parsed.events.size(), 2u);
    EXPECT_EQ(std::get<WireFrame>(parsed.events[0].event).points.at(0).y, 20);
    EXPECT_EQ(std::get<WireInformation>(parsed.events[1].event).text, "text \\ end");
}

TEST(RecordingFormat, BadLinesAreReportedWithTheirNumber) {
    const std::pair<std::string, std::string> cases[] = {
        {"frames of mine\n", "line 1: not a recording"},
        {"frame 1 0 0 2 1 1 10 20 30 30\n", "line 2: frame: expected 6 whole numbers per point (2 points)"},
        {"frame 1 0 0 1 1 1 10 2.5 30 30\n", "line 2: frame: point 0 holds something other than whole numbers"},
        {"frame 1 0 0 101\n", "line 2: frame: the point count must be 0 to 100"},
        {"gesture 1 33 2 1\n", "line 2: gesture: expected as many parameters as the count says"},
        {"gesture 1 33 1 wide\n", "line 2: gesture: parameter 0 is not a number"},
        {"gesture 5 33 0\ngesture 4 33 0\n", "line 3: the time goes backwards"},
        {"gesture -1 33 0\n", "line 2: gesture: expected a time"},
        {"gesture 1e300 33 0\n", "line 2: gesture: expected a time"},  // replay timing would overflow
        {"information 1 2 3 a\\qb\n", "line 2: information: the text has a backslash"},
        {"resolution 1 1920\n", "line 2: resolution: expected the time, x and y"},
        {"touch 1 2 3\n", "line 2: unknown kind 'touch'"},
    };
    for (const auto& [body, message] : cases) {
        std::string text = body.rfind("frames", 0) == 0 ? body : std::string(kRecordingMagic) + "\n" + body;
        Recording parsed;
        std::string error;
        EXPECT_FALSE(ParseRecording(text, &parsed, &error)) << body;
        EXPECT_EQ(error.rfind(message, 0), 0u) << body << " gave: " << error;
    }
}

TEST(RecordingWriter, WritesAFileThatReadsBack) {
    static std::atomic<int> counter{0};
    // Unique across the test processes of several builds that may run at once.
    const std::string path = ::testing::TempDir() + "vornmt_recording_" + std::to_string(getpid()) + "_" +
                             std::to_string(counter++) + ".txt";
    std::string error;
    {
        RecordingWriter writer;
        ASSERT_TRUE(writer.Open(path, &error)) << error;
        for (const RecordedEvent& event : SampleRecording().events) writer.Write(event);
        ASSERT_TRUE(writer.Close(&error)) << error;
    }
    std::string text;
    ASSERT_TRUE(ReadTextFile(path, &text, &error)) << error;
    std::remove(path.c_str());
    Recording parsed;
    ASSERT_TRUE(ParseRecording(text, &parsed, &error)) << error;
    ExpectSameRecording(parsed, SampleRecording());
}

TEST(RecordingWriter, ReportsAFileThatCannotBeCreated) {
    RecordingWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Open(::testing::TempDir() + "no-such-folder/x/recording.txt", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST(ReplayStream, KeepsRecordedTimingFromTheFirstEventAndTheRecordedAnnouncements) {
    Stream stream;
    std::string error;
    ASSERT_TRUE(StreamFromRecording(SampleRecording(), &stream, &error)) << error;
    EXPECT_FALSE(stream.stamp_frames);
    ASSERT_TRUE(stream.information.has_value());
    EXPECT_EQ(stream.information->value_1, 100);
    ASSERT_TRUE(stream.resolution.has_value());
    EXPECT_EQ(stream.resolution->x, 1920);
    ASSERT_EQ(stream.items.size(), 4u);
    EXPECT_EQ(stream.items[0].at_ms, 0);
    EXPECT_EQ(stream.items[2].at_ms, 0.125);
    EXPECT_EQ(stream.items[3].at_ms, 8);
    EXPECT_EQ(std::get<WireFrame>(stream.items[0].message).value_0, 7);
    // The next pass starts one average frame interval after the last event.
    EXPECT_DOUBLE_EQ(stream.pass_ms, 16);

    Recording announcements_only;
    announcements_only.events.push_back(RecordedEvent{0, WireResolution{1, 2}});
    EXPECT_FALSE(StreamFromRecording(announcements_only, &stream, &error));
    EXPECT_NE(error.find("no frame"), std::string::npos);
}

}  // namespace
}  // namespace vornmt::tools
