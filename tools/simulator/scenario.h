// Scenarios: what the simulated fingers do, as a list of timed steps. The
// text format (docs/simulator.md) is parsed here, loops are unrolled, and
// the finger bookkeeping is checked, so that playback can trust the steps.
// Pure: no sockets, no clock.
#pragma once

#include <VornMTClient.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vornmt::tools {

// Contact width and height (aux_0, aux_1) when a down step names none.
constexpr int kDefaultContactSize = 30;
// Limits that keep a scenario, and the frames made from it, small.
constexpr int kMaxStepDurationMs = 60 * 60 * 1000;
constexpr std::int64_t kMaxScenarioMs = 10 * 60 * 1000;  // one pass
constexpr int kMaxScenarioSteps = 100000;                // after unrolling loops
constexpr int kMaxLoopDepth = 8;
constexpr int kMaxFingerId = 65535;    // the id travels in a 16-bit field
constexpr int kMaxFingersDown = Vorn_SDK_MultiTouch::MAX_FRAME_POINTS;  // points one frame carries
constexpr double kMaxArcDegrees = 36000;

enum class StepKind { kDown, kMove, kArc, kUp, kWait };

struct ScenarioStep {
    StepKind kind = StepKind::kWait;
    int line = 0;            // where it stands in the text, for messages
    int id = 0;              // finger: down, move, arc, up
    int x = 0;               // down, move: position; arc: centre
    int y = 0;
    int width = 0;           // down: contact size
    int height = 0;
    int duration_ms = 0;     // move, arc, wait
    double degrees = 0;      // arc: positive turns clockwise on the screen
};

struct Scenario {
    std::string name;
    std::string description;
    std::vector<ScenarioStep> steps;  // loops unrolled
};

// Parses a scenario text. On failure returns false and sets *error to a
// message that starts with the line number ("line 4: move: finger 2 is not
// down"); *scenario is then unchanged.
bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error);

struct BuiltinScenario {
    std::string name;
    std::string description;
    std::string text;               // a complete scenario file
    std::string expected_gestures;  // as ExpandGestureSequence reads it
};

// The built-in scenarios, "tour" (all the others in a row) first.
const std::vector<BuiltinScenario>& BuiltinScenarios();
// nullptr when there is none of that name.
const BuiltinScenario* FindBuiltinScenario(const std::string& name);

}  // namespace vornmt::tools
