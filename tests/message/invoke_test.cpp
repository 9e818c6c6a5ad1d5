#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "message/invoke.h"
#include "value_printer.h"
#include "value_round_trip.h"

namespace vornmt::message {
namespace {

std::string Nested(int levels, const std::string& innermost) {
    std::string text;
    for (int i = 0; i < levels; ++i) {
        text += "<array><property id=\"0\">";
    }
    text += innermost;
    for (int i = 0; i < levels; ++i) {
        text += "</property></array>";
    }
    return text;
}

TEST(Invoke, BuildsTheEnvelope) {
    EXPECT_EQ(BuildInvokeWithoutArguments("ask"),
              "<invoke name='ask' returntype=\"xml\"><arguments></arguments></invoke>");
    EXPECT_EQ(BuildInvokeWithObject("send_threshold", ValueObject{{"b", "x"}, {"a", 1}}),
              "<invoke name='send_threshold' returntype=\"xml\"><arguments><object>"
              "<property id=\"a\"><number>1</number></property>"
              "<property id=\"b\"><string>x</string></property>"
              "</object></arguments></invoke>");
}

TEST(Invoke, ParsesArgumentsInDocumentOrder) {
    InvokeMessage message;
    ASSERT_TRUE(ParseInvoke("<?xml version=\"1.0\"?><!-- hello --><invoke name=\"frame\">"
                            "<arguments><number>1</number>text<!-- c --><unknown/>"
                            "<string>s</string></arguments><arguments><number>9</number></arguments></invoke>",
                            message));
    EXPECT_EQ(message.name, "frame");
    EXPECT_EQ(message.arguments, (ValueArray{1, Value(), "s"}));

    InvokeMessage empty;
    ASSERT_TRUE(ParseInvoke("<other/><invoke name='' returntype='whatever'><arguments/></invoke>", empty));
    EXPECT_EQ(empty.name, "");
    EXPECT_TRUE(empty.arguments.empty());

    const ValueObject request{{"app_name", "a<b>&\"c\""}, {"list", ValueArray{1.5, Value(), true}}};
    InvokeMessage echoed;
    ASSERT_TRUE(ParseInvoke(BuildInvokeWithObject("send_request", request), echoed));
    EXPECT_EQ(echoed.name, "send_request");
    EXPECT_EQ(echoed.arguments, ValueArray{request});
}

TEST(Invoke, RejectsTextThatIsNotAnInvokeMessage) {
    const std::string rejected[] = {
        "",
        "   ",
        "not xml",
        "<Invoke name='x'><arguments/></Invoke>",
        "<invoke><arguments/></invoke>",
        "<invoke name='x'></invoke>",
        "<invoke name='x'><Arguments/></invoke>",
        "<invoke name='x'><arguments><number>1</number></invoke>",
        "<invoke name='x'><arguments>",
        "<wrapper><invoke name='x'><arguments/></invoke></wrapper>",
        "<invoke name='x' name='y'><arguments/></invoke>",
    };
    for (const auto& text : rejected) {
        InvokeMessage message{"kept", ValueArray{42}};
        EXPECT_FALSE(ParseInvoke(text, message)) << text;
        EXPECT_EQ(message.name, "kept");
        EXPECT_EQ(message.arguments, ValueArray{42});
    }
}

// The invoke element is level 1, arguments 2, so a chain of 31 arrays
// (62 levels) ends with its number at level 65.
TEST(Invoke, AcceptsNestingUpToTheBoundAndNoFurther) {
    const std::string at_bound = BuildInvoke("deep", Nested(30, "<array><property id=\"0\"/></array>"));
    const std::string past_bound = BuildInvoke("deep", Nested(31, "<number>1</number>"));
    InvokeMessage message;
    ASSERT_TRUE(ParseInvoke(at_bound, message));
    Value innermost = message.arguments.at(0);
    for (int i = 0; i < 30; ++i) {
        const ValueArray* array = AsArray(innermost);
        ASSERT_NE(array, nullptr);
        Value inner = array->at(0);
        innermost = inner;
    }
    EXPECT_EQ(innermost, Value(ValueArray{}));
    EXPECT_FALSE(ParseInvoke(past_bound, message));

    const std::string leaf_at_bound = BuildInvoke("deep", Nested(30, "<number>1</number>"));
    ASSERT_TRUE(ParseInvoke(leaf_at_bound, message));
}

TEST(Invoke, RejectsDeepTextWithoutExhaustingTheStack) {
    InvokeMessage message;
    EXPECT_FALSE(ParseInvoke(BuildInvoke("deep", Nested(50000, "<null/>")), message));
    std::string unclosed = BuildInvoke("deep", "");
    unclosed.resize(unclosed.find("</arguments>"));
    for (int i = 0; i < 500000; ++i) {
        unclosed += "<a>";
    }
    EXPECT_FALSE(ParseInvoke(unclosed, message));
    // Markup inside a comment does not count.
    std::string commented = "<!--" + Nested(50000, "") + "-->" + BuildInvokeWithoutArguments("fine");
    EXPECT_TRUE(ParseInvoke(commented, message));
}

// Replays the fuzzer's seed corpus on every build: files named ok_* must
// parse, bad_* must not, and every parsed argument must come back the same
// (as far as the writer promises) when written and parsed again.
TEST(Invoke, ReplaysTheFuzzCorpus) {
    const std::filesystem::path folder = VORNMT_PARSE_INVOKE_CORPUS;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string name = entry.path().filename().string();
        ++files;
        InvokeMessage message;
        const bool parsed = ParseInvoke(text, message);
        if (name.rfind("ok_", 0) == 0) {
            EXPECT_TRUE(parsed) << name;
        } else if (name.rfind("bad_", 0) == 0) {
            EXPECT_FALSE(parsed) << name;
        }
        for (const Value& argument : message.arguments) {
            InvokeMessage again;
            ASSERT_TRUE(ParseInvoke(BuildInvoke("again", ValueToXml(argument)), again)) << name;
            ASSERT_EQ(again.arguments.size(), 1u) << name;
            EXPECT_TRUE(fuzzing::SurvivesRoundTrip(argument, again.arguments[0]))
                << name << ": " << ::testing::PrintToString(argument) << " came back as "
                << ::testing::PrintToString(again.arguments[0]);
        }
    }
    EXPECT_GE(files, 12);
}

}  // namespace
}  // namespace vornmt::message
