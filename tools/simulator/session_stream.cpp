#include "simulator/session_stream.h"

#include <algorithm>

#include "simulator/gesture_recognizer.h"
#include "simulator/playback.h"

namespace vornmt::tools {

Stream StreamFromScenario(const Scenario& scenario, int frames_per_second) {
    PlaybackPass pass = PlayScenario(scenario, frames_per_second);
    GestureRecognizer recognizer;
    Stream stream;
    stream.pass_ms = pass.length_ms;
    stream.stamp_frames = true;
    for (TimedFrame& timed : pass.frames) {
        std::vector<WireGesture> gestures = recognizer.OnFrame(timed.frame, timed.time_ms);
        stream.items.push_back(StreamItem{timed.time_ms, std::move(timed.frame)});
        for (WireGesture& gesture : gestures) stream.items.push_back(StreamItem{timed.time_ms, std::move(gesture)});
    }
    return stream;
}

bool StreamFromRecording(const Recording& recording, Stream* stream, std::string* error) {
    Stream result;
    result.stamp_frames = false;
    std::optional<double> first_ms;
    double last_ms = 0;
    std::size_t frames = 0;
    for (const RecordedEvent& event : recording.events) {
        if (const auto* info = std::get_if<WireInformation>(&event.event)) {
            if (!result.information) result.information = *info;
            continue;
        }
        if (const auto* resolution = std::get_if<WireResolution>(&event.event)) {
            if (!result.resolution) result.resolution = *resolution;
            continue;
        }
        if (!first_ms) first_ms = event.time_ms;
        last_ms = event.time_ms;
        StreamItem item;
        item.at_ms = event.time_ms - *first_ms;
        if (const auto* frame = std::get_if<WireFrame>(&event.event)) {
            item.message = *frame;
            ++frames;
        } else {
            item.message = std::get<WireGesture>(event.event);
        }
        result.items.push_back(std::move(item));
    }
    if (result.items.empty()) {
        *error = "the recording holds no frame and no gesture to replay";
        return false;
    }
    // A following pass starts one average frame interval after the last
    // event, as the recorded server would have sent its next frame.
    const double span = last_ms - *first_ms;
    const double interval = frames > 1 ? span / static_cast<double>(frames - 1) : 10.0;
    result.pass_ms = span + std::max(interval, 1.0);
    *stream = std::move(result);
    return true;
}

std::vector<WireGesture> StreamGestures(const Stream& stream) {
    std::vector<WireGesture> gestures;
    for (const StreamItem& item : stream.items) {
        if (const auto* gesture = std::get_if<WireGesture>(&item.message)) gestures.push_back(*gesture);
    }
    return gestures;
}

}  // namespace vornmt::tools
