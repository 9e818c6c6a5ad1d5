// The stream a simulator session plays to its client: one pass of frames
// and gestures at their times, made from a scenario (played back and
// recognised) or from a recording (as it was received). Pure.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/recording.h"
#include "common/protocol.h"
#include "simulator/scenario.h"

namespace vornmt::tools {

struct StreamItem {
    double at_ms = 0;  // since the start of the pass
    std::variant<WireFrame, WireGesture> message;
};

struct Stream {
    std::vector<StreamItem> items;  // in time order
    double pass_ms = 0;             // > 0: where the next pass starts
    // Scenario streams number their frames per client when they are sent
    // (value_0 the frame's sequence number, value_1 the milliseconds since
    // the stream started); a replay keeps the recorded numbers.
    bool stamp_frames = true;
    // A replay announces the recorded device information and answers with
    // the recorded resolution, when the recording holds them.
    std::optional<WireInformation> information;
    std::optional<WireResolution> resolution;
};

// Plays the scenario at `frames_per_second` and recognises its gestures; each
// frame is followed by the gestures it completes, at the same time.
Stream StreamFromScenario(const Scenario& scenario, int frames_per_second);

// The recording's frames and gestures, timed from the first of them. Returns
// false (with a message) when it holds neither.
bool StreamFromRecording(const Recording& recording, Stream* stream, std::string* error);

// Only the gestures of a stream, in order: what a client of it will receive.
std::vector<WireGesture> StreamGestures(const Stream& stream);

}  // namespace vornmt::tools
