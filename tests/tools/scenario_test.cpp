#include "simulator/scenario.h"

#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <set>

#include "simulator/gesture_sequence.h"

namespace vornmt::tools {
namespace {

struct BadScenario {
    const char* text;
    const char* message;  // expected start of the error
};

TEST(ScenarioParser, BadInputNamesTheLineAndTheFault) {
    const BadScenario cases[] = {
        {"down 1 10 10\nwait 10\nmove 2 5 5 100\nup 1\n", "line 3: move: finger 2 is not down"},
        {"down 1 0 0\n\n# comment\ndown 1 5 5\n", "line 4: down: finger 1 is already down (since line 1)"},
        {"wait 5\ndown 1 0 0\nwait 10\n", "line 2: finger 1 is still down at the end"},
        {"down 1 0 0\nfly 1\n", "line 2: unknown command 'fly'"},
        {"down 1 x 0\n", "line 1: down: x must be a whole number"},
        {"down 1 0 0 5\n", "line 1: down: expected 'down ID X Y [WIDTH HEIGHT]'"},
        {"down 70000 0 0\n", "line 1: down: the finger id must be a whole number from 0 to 65535"},
        {"down 1 0 0\nwait -5\nup 1\n", "line 2: wait: the duration (ms) must be"},
        {"down 1 0 0\nwait 1.5\nup 1\n", "line 2: wait: the duration (ms) must be"},
        {"down 1 0 0\narc 1 0 0 quarter 100\nup 1\n", "line 2: arc: the angle must be"},
        {"down 1 0 0\nup 1\nup 1\n", "line 3: up: finger 1 is not down"},
        {"wait 10\nloop 2\ndown 1 0 0\nup 1\n", "line 2: loop without its 'end'"},
        {"down 1 0 0\nup 1\nend\n", "line 3: end without a loop"},
        {"loop 0\nend\n", "line 1: loop: the count must be"},
        // The second pass of the loop puts the finger down again.
        {"loop 2\ndown 1 0 0\nend\nup 1\n", "line 2: down: finger 1 is already down (since line 2)"},
        {"loop 1000\nloop 1000\nwait 1\nend\nend\n", "line 1: loop: the scenario would have more than"},
        {"down 1 0 0\nwait 600001\nup 1\n", "line 2: wait: the scenario would last longer than 600 seconds"},
        {"wait 10\n", "the scenario has no 'down' step"},
    };
    for (const BadScenario& bad : cases) {
        Scenario scenario;
        scenario.name = "kept";
        std::string error;
        EXPECT_FALSE(ParseScenario(bad.text, &scenario, &error)) << bad.text;
        EXPECT_EQ(error.rfind(bad.message, 0), 0u) << "text:\n" << bad.text << "error: " << error;
        EXPECT_EQ(scenario.name, "kept") << "a failed parse must leave the scenario alone";
    }
}

TEST(ScenarioParser, ReadsStepsNamesAndComments) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario("# a comment line\r\n"
                              "name   two words  \r\n"
                              "description Says what it does # not this\r\n"
                              "down 7 -10 20 40 50   # finger seven\r\n"
                              "\r\n"
                              "arc 7 0 0 -22.5 300\r\n"
                              "move 7 1 2 0\r\n"
                              "up 7\r\n",
                              &scenario, &error))
        << error;
    EXPECT_EQ(scenario.name, "two words");
    EXPECT_EQ(scenario.description, "Says what it does");
    ASSERT_EQ(scenario.steps.size(), 4u);
    const ScenarioStep& down = scenario.steps[0];
    EXPECT_EQ(down.kind, StepKind::kDown);
    EXPECT_EQ(down.line, 4);
    EXPECT_EQ(down.id, 7);
    EXPECT_EQ(down.x, -10);
    EXPECT_EQ(down.y, 20);
    EXPECT_EQ(down.width, 40);
    EXPECT_EQ(down.height, 50);
    EXPECT_EQ(scenario.steps[1].kind, StepKind::kArc);
    EXPECT_DOUBLE_EQ(scenario.steps[1].degrees, -22.5);
    EXPECT_EQ(scenario.steps[1].duration_ms, 300);
    EXPECT_EQ(scenario.steps[2].duration_ms, 0);
    EXPECT_EQ(scenario.steps[3].kind, StepKind::kUp);
}

TEST(ScenarioParser, DownWithoutSizeUsesTheDefaultContactSize) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario("down 1 0 0\nup 1\n", &scenario, &error)) << error;
    EXPECT_EQ(scenario.steps[0].width, kDefaultContactSize);
    EXPECT_EQ(scenario.steps[0].height, kDefaultContactSize);
}

TEST(ScenarioParser, UnrollsNestedLoopsKeepingSourceLines) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario("loop 2\n"
                              "  down 1 0 0\n"
                              "  loop 3\n"
                              "    wait 10\n"
                              "  end\n"
                              "  up 1\n"
                              "end\n"
                              "wait 5\n",
                              &scenario, &error))
        << error;
    std::vector<int> lines;
    for (const ScenarioStep& step : scenario.steps) lines.push_back(step.line);
    EXPECT_EQ(lines, (std::vector<int>{2, 4, 4, 4, 6, 2, 4, 4, 4, 6, 8}));
}

TEST(BuiltinScenarios, AllParseAndDocumentAKnownGestureSequence) {
    std::set<std::string> names;
    for (const BuiltinScenario& builtin : BuiltinScenarios()) {
        SCOPED_TRACE(builtin.name);
        EXPECT_TRUE(names.insert(builtin.name).second) << "duplicate name";
        Scenario scenario;
        std::string error;
        ASSERT_TRUE(ParseScenario(builtin.text, &scenario, &error)) << error;
        EXPECT_EQ(scenario.name, builtin.name);
        EXPECT_EQ(scenario.description, builtin.description);
        std::vector<int> codes;
        EXPECT_TRUE(ExpandGestureSequence(builtin.expected_gestures, &codes));
        EXPECT_FALSE(codes.empty());
        EXPECT_EQ(FindBuiltinScenario(builtin.name), &builtin);
    }
    for (const char* name : {"tour", "tap", "double-tap", "drag", "split", "rotate", "multi-move"}) {
        EXPECT_EQ(names.count(name), 1u) << name;
    }
    EXPECT_EQ(FindBuiltinScenario("no-such-thing"), nullptr);
}

TEST(GestureSequenceText, ExpandsRepetitionsAndRejectsUnknownNames) {
    std::vector<int> codes;
    ASSERT_TRUE(ExpandGestureSequence("TG_TOUCH_START TG_MOVE_RIGHT x3 TG_TOUCH_END", &codes));
    using namespace Vorn_SDK_MultiTouch;
    EXPECT_EQ(codes, (std::vector<int>{TG_TOUCH_START, TG_MOVE_RIGHT, TG_MOVE_RIGHT, TG_MOVE_RIGHT, TG_TOUCH_END}));
    EXPECT_FALSE(ExpandGestureSequence("TG_TOUCH_START TG_WAVE", &codes));
    EXPECT_FALSE(ExpandGestureSequence("x2 TG_DOWN", &codes));
    EXPECT_FALSE(ExpandGestureSequence("TG_DOWN x0", &codes));
}

}  // namespace
}  // namespace vornmt::tools
