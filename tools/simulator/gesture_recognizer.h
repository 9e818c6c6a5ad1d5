// Gesture recognition: watches a sequence of frames and names what the
// fingers did, the way the simulator reports it in "gesture" messages. Pure:
// it sees only frames and their times. The rules and thresholds are listed
// in docs/simulator.md; the constants below are the ones it names.
#pragma once

#include <map>
#include <vector>

#include "common/protocol.h"

namespace vornmt::tools {

// A single finger becomes a move once it is this far from where it went down.
constexpr double kMoveStartPx = 10;
// A direction gesture for every this many pixels along one axis.
constexpr double kDirectionStepPx = 50;
// A click: down and up within this time, without becoming a move.
constexpr double kClickMaxMs = 300;
// A double click: the second down within this time of the first click's up ...
constexpr double kDoubleClickGapMs = 400;
// ... and within this distance of it.
constexpr double kDoubleClickSlopPx = 30;
// Two fingers split once their distance has changed by this much ...
constexpr double kSplitStartPx = 20;
// ... and report apart or close for every further step of this size.
constexpr double kSplitStepPx = 40;
// Two fingers rotate once the line through them has turned this far ...
constexpr double kRotateStartDegrees = 10;
// ... and report clockwise or anticlockwise for every further step.
constexpr double kRotateStepDegrees = 15;

// Reads code_0 as the point's state (1 down, 2 move, 3 up) and code_1 as
// its finger id, as the simulator's playback writes them. One thread.
class GestureRecognizer {
public:
    // The gestures that `frame`, taken at `time_ms`, completes, in order.
    std::vector<WireGesture> OnFrame(const WireFrame& frame, double time_ms);

private:
    enum class Mode { kIdle, kSingle, kPair, kMulti, kDone };
    enum class PairKind { kUndecided, kSplit, kRotate };
    struct Spot {
        double x = 0;
        double y = 0;
    };
    // Emits a direction gesture for every step the position has made from
    // the reference along one axis, moving the reference on by that step.
    struct DirectionSteps {
        Spot reference;
        void Emit(Spot now, int right_code, std::vector<double> params, std::vector<WireGesture>* out);
    };

    void Begin(const std::map<int, Spot>& contacts, double time_ms, std::vector<WireGesture>* out);
    void Update(const std::map<int, Spot>& contacts, std::vector<WireGesture>* out);
    void Lift(const std::map<int, Spot>& lifting, double time_ms, std::vector<WireGesture>* out);
    void FinishPair(std::vector<WireGesture>* out);
    bool PairGeometry(const std::map<int, Spot>& contacts, Spot* centre, double* distance, double* degrees) const;
    bool MultiCentre(const std::map<int, Spot>& contacts, Spot* centre) const;

    bool touching_ = false;
    double touch_start_ms_ = 0;
    Mode mode_ = Mode::kIdle;
    std::map<int, Spot> last_seen_;  // fingers still down after the previous frame

    // One finger.
    int single_id_ = 0;
    Spot down_at_;
    double down_ms_ = 0;
    bool moved_ = false;
    DirectionSteps single_steps_;
    bool click_pending_ = false;  // a click that a second tap may turn into a double click
    Spot click_at_;
    double click_up_ms_ = 0;

    // Two fingers.
    int pair_ids_[2] = {0, 0};
    PairKind pair_kind_ = PairKind::kUndecided;
    double pair_start_distance_ = 0;
    double pair_last_degrees_ = 0;
    double pair_turned_ = 0;       // degrees since the pair went down, clockwise positive
    double pair_reference_ = 0;    // distance or angle of the last reported step
    Spot pair_centre_;
    double pair_distance_ = 0;

    // Three fingers or more.
    std::vector<int> multi_ids_;
    Spot multi_start_;
    Spot multi_centre_;
    bool multi_moved_ = false;
    DirectionSteps multi_steps_;
};

}  // namespace vornmt::tools
