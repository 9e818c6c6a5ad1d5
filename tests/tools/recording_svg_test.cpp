// Pictures of recordings: the SVG must be well-formed XML whatever the
// recording holds, with one trail per point id and one mark per gesture.
#include "plot/recording_svg.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <functional>
#include <set>
#include <string>

#include "simulator/scenario.h"
#include "simulator/session_stream.h"

namespace vornmt::tools::plot {
namespace {

// Calls `visit` for every element of the document, depth first.
void ForEachElement(const TiXmlElement* element, const std::function<void(const TiXmlElement&)>& visit) {
    for (; element; element = element->NextSiblingElement()) {
        visit(*element);
        ForEachElement(element->FirstChildElement(), visit);
    }
}

// The recording the monitor would make of one pass of a built-in scenario.
Recording RecordedScenario(const std::string& name) {
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(ParseScenario(FindBuiltinScenario(name)->text, &scenario, &error)) << error;
    Stream stream = StreamFromScenario(scenario, 50);
    Recording recording;
    recording.events.push_back(RecordedEvent{0, WireInformation{3, 50, "<device> & \"\x01\xff\""}});
    recording.events.push_back(RecordedEvent{0, WireResolution{1920, 1080}});
    int number = 0;
    for (const StreamItem& item : stream.items) {
        WireEvent event;
        if (const auto* frame = std::get_if<WireFrame>(&item.message)) {
            WireFrame stamped = *frame;
            stamped.value_0 = number++;
            event = stamped;
        } else {
            event = std::get<WireGesture>(item.message);
        }
        recording.events.push_back(RecordedEvent{item.at_ms, event});
    }
    return recording;
}

TEST(RecordingSvg, OneTrailPerPointIdAndOneMarkPerGesture) {
    const Recording recording = RecordedScenario("tour");
    std::set<int> ids;
    int gestures = 0;
    for (const RecordedEvent& event : recording.events) {
        if (const auto* frame = std::get_if<WireFrame>(&event.event)) {
            for (const WirePoint& p : frame->points) ids.insert(p.code_1);
        }
        gestures += std::holds_alternative<WireGesture>(event.event);
    }
    ASSERT_GT(ids.size(), 1u);

    SvgSummary summary;
    const std::string svg = RecordingToSvg(
        recording, [](int code) { return code == 1 ? std::string("TG_<DOWN>") : std::string(); },
        "tour & <friends>", &summary);
    TiXmlDocument document;
    document.Parse(svg.c_str());
    ASSERT_FALSE(document.Error()) << document.ErrorDesc() << " at row " << document.ErrorRow();
    ASSERT_STREQ(document.RootElement()->Value(), "svg");

    std::set<int> trail_ids;
    int trails = 0, marks = 0, named = 0;
    ForEachElement(document.RootElement(), [&](const TiXmlElement& element) {
        const char* kind = element.Attribute("class");
        if (!kind) return;
        if (std::string(kind) == "trail") ++trails;
        if (std::string(kind) == "point-id") trail_ids.insert(std::stoi(element.Attribute("data-id")));
        if (std::string(kind) == "gesture") {
            ++marks;
            named += std::string(element.Attribute("data-name")) == "TG_<DOWN>";
        }
    });
    EXPECT_EQ(trails, static_cast<int>(ids.size()));
    EXPECT_EQ(trail_ids, ids);
    EXPECT_EQ(marks, gestures);
    EXPECT_GT(named, 0) << "gesture names are escaped, not dropped";
    EXPECT_EQ(summary.trails, static_cast<int>(ids.size()));
    EXPECT_EQ(summary.gestures, gestures);
}

TEST(RecordingSvg, EmptyRecordingStillGivesAPicture) {
    TiXmlDocument document;
    document.Parse(RecordingToSvg(Recording{}, [](int) { return std::string(); }, "empty", nullptr).c_str());
    EXPECT_FALSE(document.Error()) << document.ErrorDesc();
}

}  // namespace
}  // namespace vornmt::tools::plot
