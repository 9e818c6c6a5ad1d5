// Touch playback: turns a scenario's timed steps into the frames a touch
// server would send, sampled at a fixed rate. Pure: no sockets, no clock.
#pragma once

#include <vector>

#include "common/protocol.h"
#include "simulator/scenario.h"

namespace vornmt::tools {

// What the first number of a point (code_0) says about the contact.
constexpr int kPointDown = 1;  // first frame of the contact
constexpr int kPointMove = 2;  // the contact goes on (moved or held still)
constexpr int kPointUp = 3;    // last frame: the finger lifted here

constexpr int kMinFrameRate = 1;
constexpr int kMaxFrameRate = 1000;

struct TimedFrame {
    double time_ms = 0;  // since the start of the pass
    WireFrame frame;     // value_0 and value_1 are left 0: the sender stamps them
};

struct PlaybackPass {
    std::vector<TimedFrame> frames;  // only instants at which a finger touches
    double length_ms = 0;            // the next pass starts this long after this one
};

// Samples the scenario at `frames_per_second` (kMinFrameRate to
// kMaxFrameRate). Frame k is taken at k * 1000 / rate ms. A contact shows in
// every frame from the first at or after its down to the first at or after
// its up, which reports it as kPointUp; the first frame shows the point where
// the finger went down and the last where it lifted. A contact spans at
// least two frames, so a
// touch shorter than a frame is still seen going down and up. A finger that
// goes down again with the same id starts at the earliest in the frame after
// its previous up. Points appear in the order their fingers went down, with
// code_1 the finger id and aux_0, aux_1 the contact size.
PlaybackPass PlayScenario(const Scenario& scenario, int frames_per_second);

}  // namespace vornmt::tools
