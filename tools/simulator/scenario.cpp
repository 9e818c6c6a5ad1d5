#include "simulator/scenario.h"

#include <cmath>
#include <map>

#include "common/text_parsing.h"

namespace vornmt::tools {
namespace {

struct OpenLoop {
    int line;
    int count;
    std::size_t first_step;  // index in the unrolled steps
};

std::string LineMessage(int line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

// Reads fields[first...] as integers within [low, high]; `what` names them in
// the message.
bool ReadInteger(std::string_view field, int low, int high, const char* what, const std::string& command,
                 int* value, std::string* error) {
    if (!ParseInteger(field, value) || *value < low || *value > high) {
        *error = command + ": " + what + " must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not '" + std::string(field) + "'";
        return false;
    }
    return true;
}

constexpr int kMaxCoordinate = 1000000;

// Parses one step line (not loop, end, name or description).
bool ParseStep(const std::vector<std::string_view>& fields, ScenarioStep* step, std::string* error) {
    const std::string command(fields[0]);
    const std::size_t count = fields.size() - 1;
    auto usage = [&](const char* form) {
        *error = command + ": expected '" + form + "'";
        return false;
    };
    auto finger = [&](std::string_view field) {
        return ReadInteger(field, 0, kMaxFingerId, "the finger id", command, &step->id, error);
    };
    auto position = [&](std::string_view x, std::string_view y) {
        return ReadInteger(x, -kMaxCoordinate, kMaxCoordinate, "x", command, &step->x, error) &&
               ReadInteger(y, -kMaxCoordinate, kMaxCoordinate, "y", command, &step->y, error);
    };
    auto duration = [&](std::string_view field) {
        return ReadInteger(field, 0, kMaxStepDurationMs, "the duration (ms)", command, &step->duration_ms, error);
    };
    if (command == "down") {
        step->kind = StepKind::kDown;
        if (count != 3 && count != 5) return usage("down ID X Y [WIDTH HEIGHT]");
        step->width = step->height = kDefaultContactSize;
        if (!finger(fields[1]) || !position(fields[2], fields[3])) return false;
        if (count == 5) {
            return ReadInteger(fields[4], 1, 65535, "the width", command, &step->width, error) &&
                   ReadInteger(fields[5], 1, 65535, "the height", command, &step->height, error);
        }
        return true;
    }
    if (command == "move") {
        step->kind = StepKind::kMove;
        if (count != 4) return usage("move ID X Y MS");
        return finger(fields[1]) && position(fields[2], fields[3]) && duration(fields[4]);
    }
    if (command == "arc") {
        step->kind = StepKind::kArc;
        if (count != 5) return usage("arc ID CENTRE_X CENTRE_Y DEGREES MS");
        if (!finger(fields[1]) || !position(fields[2], fields[3])) return false;
        if (!ParseReal(fields[4], &step->degrees) || std::fabs(step->degrees) > kMaxArcDegrees) {
            *error = "arc: the angle must be a number of degrees from -36000 to 36000, not '" +
                     std::string(fields[4]) + "'";
            return false;
        }
        return duration(fields[5]);
    }
    if (command == "up") {
        step->kind = StepKind::kUp;
        if (count != 1) return usage("up ID");
        return finger(fields[1]);
    }
    if (command == "wait") {
        step->kind = StepKind::kWait;
        if (count != 1) return usage("wait MS");
        return duration(fields[1]);
    }
    *error = "unknown command '" + command + "' (expected down, move, arc, up, wait, loop, end, name or description)";
    return false;
}

// Checks that fingers go down before they move or lift, never twice, that
// all have lifted at the end, and that the pass is not too long.
bool CheckFingers(const std::vector<ScenarioStep>& steps, std::string* error) {
    std::map<int, int> down_since;  // finger id -> line of its down step
    std::int64_t now = 0;
    bool any_down = false;
    for (const ScenarioStep& step : steps) {
        auto found = down_since.find(step.id);
        switch (step.kind) {
            case StepKind::kDown:
                if (found != down_since.end()) {
                    *error = LineMessage(step.line, "down: finger " + std::to_string(step.id) +
                                                        " is already down (since line " +
                                                        std::to_string(found->second) + ")");
                    return false;
                }
                if (static_cast<int>(down_since.size()) == kMaxFingersDown) {
                    *error = LineMessage(step.line, "down: more than " + std::to_string(kMaxFingersDown) +
                                                        " fingers would be down at once");
                    return false;
                }
                down_since[step.id] = step.line;
                any_down = true;
                break;
            case StepKind::kMove:
            case StepKind::kArc:
            case StepKind::kUp:
                if (found == down_since.end()) {
                    const char* command = step.kind == StepKind::kMove ? "move" : step.kind == StepKind::kArc ? "arc" : "up";
                    *error = LineMessage(step.line, std::string(command) + ": finger " + std::to_string(step.id) +
                                                        " is not down");
                    return false;
                }
                if (step.kind == StepKind::kUp) down_since.erase(found);
                break;
            case StepKind::kWait:
                now += step.duration_ms;
                if (now > kMaxScenarioMs) {
                    *error = LineMessage(step.line, "wait: the scenario would last longer than " +
                                                        std::to_string(kMaxScenarioMs / 1000) + " seconds");
                    return false;
                }
                break;
        }
    }
    if (!down_since.empty()) {
        const auto& first = *down_since.begin();
        *error = LineMessage(first.second, "finger " + std::to_string(first.first) +
                                               " is still down at the end of the scenario (add 'up " +
                                               std::to_string(first.first) + "')");
        return false;
    }
    if (!any_down) {
        *error = "the scenario has no 'down' step, so it would play no touch";
        return false;
    }
    return true;
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error) {
    Scenario result;
    std::vector<OpenLoop> loops;
    std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const int line = static_cast<int>(index + 1);
        std::string_view content = lines[index];
        std::size_t hash = content.find('#');
        if (hash != std::string_view::npos) content = content.substr(0, hash);
        std::vector<std::string_view> fields = SplitFields(content);
        if (fields.empty()) continue;
        const std::string_view command = fields[0];

        if (command == "name" || command == "description") {
            // The rest of the line, as written.
            std::size_t at = static_cast<std::size_t>(fields[0].data() + fields[0].size() - content.data());
            std::string_view rest = content.substr(at);
            while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
            while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
            (command == "name" ? result.name : result.description) = std::string(rest);
            continue;
        }
        if (command == "loop") {
            int count = 0;
            if (fields.size() != 2) {
                *error = LineMessage(line, "loop: expected 'loop COUNT'");
                return false;
            }
            std::string message;
            if (!ReadInteger(fields[1], 1, kMaxScenarioSteps, "the count", "loop", &count, &message)) {
                *error = LineMessage(line, message);
                return false;
            }
            if (static_cast<int>(loops.size()) == kMaxLoopDepth) {
                *error = LineMessage(line, "loop: loops nest deeper than " + std::to_string(kMaxLoopDepth));
                return false;
            }
            loops.push_back(OpenLoop{line, count, result.steps.size()});
            continue;
        }
        if (command == "end") {
            if (fields.size() != 1) {
                *error = LineMessage(line, "end: expected nothing after 'end'");
                return false;
            }
            if (loops.empty()) {
                *error = LineMessage(line, "end without a loop");
                return false;
            }
            OpenLoop loop = loops.back();
            loops.pop_back();
            const std::size_t block = result.steps.size() - loop.first_step;
            if (block * static_cast<std::size_t>(loop.count) + loop.first_step > kMaxScenarioSteps) {
                *error = LineMessage(loop.line, "loop: the scenario would have more than " +
                                                    std::to_string(kMaxScenarioSteps) + " steps");
                return false;
            }
            for (int repeat = 1; repeat < loop.count; ++repeat) {
                for (std::size_t i = 0; i < block; ++i) result.steps.push_back(result.steps[loop.first_step + i]);
            }
            continue;
        }
        ScenarioStep step;
        step.line = line;
        std::string message;
        if (!ParseStep(fields, &step, &message)) {
            *error = LineMessage(line, message);
            return false;
        }
        if (static_cast<int>(result.steps.size()) == kMaxScenarioSteps) {
            *error = LineMessage(line, "the scenario has more than " + std::to_string(kMaxScenarioSteps) + " steps");
            return false;
        }
        result.steps.push_back(step);
    }
    if (!loops.empty()) {
        *error = LineMessage(loops.back().line, "loop without its 'end'");
        return false;
    }
    if (!CheckFingers(result.steps, error)) return false;
    *scenario = std::move(result);
    return true;
}

namespace {

struct BuiltinPart {
    const char* name;
    const char* description;
    const char* steps;
    const char* expected;
};

// Each ends with a pause long enough that the next one starts a new touch
// and its first tap is not taken for the second half of a double click.
const BuiltinPart kParts[] = {
    {"tap", "One finger taps once in the middle of the screen.",
     "down 1 960 540\n"
     "wait 80\n"
     "up 1\n"
     "wait 600\n",
     "TG_TOUCH_START TG_DOWN TG_UP TG_CLICK TG_TOUCH_END"},
    {"double-tap", "One finger taps twice in quick succession.",
     "down 1 960 540\n"
     "wait 80\n"
     "up 1\n"
     "wait 150\n"
     "down 1 964 542\n"
     "wait 80\n"
     "up 1\n"
     "wait 600\n",
     "TG_TOUCH_START TG_DOWN TG_UP TG_CLICK TG_TOUCH_END "
     "TG_TOUCH_START TG_DOWN TG_UP TG_DB_CLICK TG_TOUCH_END"},
    {"drag", "One finger drags 300 px to the right, then 150 px up.",
     "down 1 600 600\n"
     "move 1 900 600 600\n"
     "wait 600\n"
     "move 1 900 450 300\n"
     "wait 400\n"
     "up 1\n"
     "wait 400\n",
     "TG_TOUCH_START TG_DOWN TG_MOVE TG_MOVE_RIGHT x6 TG_MOVE_UP x3 TG_UP TG_TOUCH_END"},
    {"split", "Two fingers spread from 120 px to 520 px apart, then pinch back together.",
     "down 1 900 540\n"
     "down 2 1020 540\n"
     "wait 100\n"
     "move 1 700 540 500\n"
     "move 2 1220 540 500\n"
     "wait 600\n"
     "move 1 900 540 500\n"
     "move 2 1020 540 500\n"
     "wait 600\n"
     "up 1\n"
     "up 2\n"
     "wait 400\n",
     "TG_TOUCH_START TG_SPLIT_START TG_SPLIT_APART x9 TG_SPLIT_CLOSE x9 TG_SPLIT_END TG_TOUCH_END"},
    {"rotate", "Two fingers turn a quarter clockwise around the centre, then back.",
     "down 1 810 540\n"
     "down 2 1110 540\n"
     "wait 100\n"
     "arc 1 960 540 90 800\n"
     "arc 2 960 540 90 800\n"
     "wait 900\n"
     "arc 1 960 540 -90 800\n"
     "arc 2 960 540 -90 800\n"
     "wait 900\n"
     "up 1\n"
     "up 2\n"
     "wait 400\n",
     "TG_TOUCH_START TG_ROTATE_START TG_ROTATE_CLOCK x5 TG_ROTATE_ANTICLOCK x5 TG_ROTATE_END TG_TOUCH_END"},
    {"multi-move", "Three fingers move 260 px to the right together.",
     "down 1 800 500\n"
     "down 2 900 460\n"
     "down 3 1000 500\n"
     "wait 100\n"
     "move 1 1060 500 600\n"
     "move 2 1160 460 600\n"
     "move 3 1260 500 600\n"
     "wait 700\n"
     "up 1\n"
     "up 2\n"
     "up 3\n"
     "wait 400\n",
     "TG_TOUCH_START TG_MULTI_DOWN TG_MULTI_MOVE TG_MULTI_MOVE_RIGHT x5 TG_MULTI_UP TG_TOUCH_END"},
};

std::string ScenarioText(const std::string& name, const std::string& description, const std::string& steps) {
    return "name " + name + "\ndescription " + description + "\n" + steps;
}

std::vector<BuiltinScenario> MakeBuiltins() {
    BuiltinScenario tour;
    tour.name = "tour";
    tour.description = "Every other built-in scenario in turn: tap, double-tap, drag, split, rotate, multi-move.";
    std::string tour_steps;
    std::vector<BuiltinScenario> parts;
    for (const BuiltinPart& part : kParts) {
        parts.push_back(BuiltinScenario{part.name, part.description,
                                        ScenarioText(part.name, part.description, part.steps), part.expected});
        tour_steps += std::string("# ") + part.name + "\n" + part.steps;
        tour.expected_gestures += (tour.expected_gestures.empty() ? "" : " ") + std::string(part.expected);
    }
    tour.text = ScenarioText(tour.name, tour.description, tour_steps);
    std::vector<BuiltinScenario> all{tour};
    all.insert(all.end(), parts.begin(), parts.end());
    return all;
}

}  // namespace

const std::vector<BuiltinScenario>& BuiltinScenarios() {
    static const std::vector<BuiltinScenario> builtins = MakeBuiltins();
    return builtins;
}

const BuiltinScenario* FindBuiltinScenario(const std::string& name) {
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        if (builtin.name == name) return &builtin;
    }
    return nullptr;
}

}  // namespace vornmt::tools
