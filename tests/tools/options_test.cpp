// The tools' option table: what it takes, what it refuses and the help it
// prints, without running a tool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/options.h"

namespace vornmt::tools {
namespace {

struct Taken {
    int port = 7100;
    std::string name;
    bool quiet = false;
    std::vector<std::string> operands;
};

CommandLine Table(Taken* taken) {
    return CommandLine{"tool",
                       "[options]",
                       "Does a thing.\n",
                       {{"--port", "N", "the port\nsecond line", "needs 1 to 9", TakeInteger(1, 9, &taken->port)},
                        {"--name", "TEXT", "a name", "needs a text", TakeText(&taken->name)},
                        {"--quiet", "", "say less", "", SetFlag(&taken->quiet)}},
                       "The end.\n",
                       nullptr};
}

CommandLineResult Parse(const CommandLine& command_line, std::vector<const char*> arguments, std::string* error) {
    arguments.insert(arguments.begin(), "tool");
    return ParseCommandLine(command_line, static_cast<int>(arguments.size()), arguments.data(), error);
}

TEST(Options, TakesValuesAndFlagsInOrder) {
    Taken taken;
    std::string error;
    EXPECT_EQ(Parse(Table(&taken), {"--port", "3", "--quiet", "--name", "--port", "--port", "4"}, &error),
              CommandLineResult::kRun);
    EXPECT_EQ(taken.port, 4);
    EXPECT_EQ(taken.name, "--port") << "a value is the next argument, whatever it looks like";
    EXPECT_TRUE(taken.quiet);
}

TEST(Options, AnUnknownOptionIsNamed) {
    Taken taken;
    std::string error;
    EXPECT_EQ(Parse(Table(&taken), {"--quiet", "--bogus"}, &error), CommandLineResult::kUsageError);
    EXPECT_EQ(error, "unknown option '--bogus'");
    EXPECT_EQ(Parse(Table(&taken), {"stray"}, &error), CommandLineResult::kUsageError)
        << "without an operand taker an operand is no option either";
    EXPECT_EQ(error, "unknown option 'stray'");
}

TEST(Options, AMissingOrMalformedValueIsToldWhatTheOptionNeeds) {
    for (std::vector<const char*> arguments : {std::vector<const char*>{"--port"}, {"--port", "10"},
                                               {"--port", "x"}, {"--port", "3x"}, {"--port", ""}}) {
        Taken taken;
        std::string error;
        EXPECT_EQ(Parse(Table(&taken), arguments, &error), CommandLineResult::kUsageError) << arguments.size();
        EXPECT_EQ(error, "--port needs 1 to 9");
        EXPECT_EQ(taken.port, 7100) << "a refused value leaves the default";
    }
}

TEST(Options, HelpEndsReadingWhereverItStands) {
    Taken taken;
    std::string error;
    EXPECT_EQ(Parse(Table(&taken), {"--port", "3", "-h", "--bogus"}, &error), CommandLineResult::kHelp);
    EXPECT_EQ(Parse(Table(&taken), {"--help"}, &error), CommandLineResult::kHelp);
}

TEST(Options, HelpListsEveryOptionInAColumnAfterTheLongestHeading) {
    Taken taken;
    EXPECT_EQ(UsageText(Table(&taken)),
              "usage: tool [options]\n"
              "Does a thing.\n"
              "\n"
              "  --port N     the port\n"
              "               second line\n"
              "  --name TEXT  a name\n"
              "  --quiet      say less\n"
              "  --help       this text\n"
              "\n"
              "The end.\n");
}

TEST(Options, OperandsGoToTheirTakerAndAnOptionFinishesReading) {
    Taken taken;
    CommandLine command_line = Table(&taken);
    command_line.operand = [&taken](const char* argument) {
        taken.operands.push_back(argument);
        return taken.operands.size() > 2 ? std::string("too many") : std::string();
    };
    command_line.options.push_back({"--list", "", "list", "", [](const char*) { return true; }, true});
    std::string error;
    EXPECT_EQ(Parse(command_line, {"a", "-", "--list", "--bogus"}, &error), CommandLineResult::kFinished);
    EXPECT_EQ(taken.operands, (std::vector<std::string>{"a", "-"}));
    EXPECT_EQ(Parse(command_line, {"-x"}, &error), CommandLineResult::kUsageError);
    EXPECT_EQ(error, "unknown option '-x'");
    EXPECT_EQ(Parse(command_line, {"c"}, &error), CommandLineResult::kUsageError);
    EXPECT_EQ(error, "too many");
}

}  // namespace
}  // namespace vornmt::tools
