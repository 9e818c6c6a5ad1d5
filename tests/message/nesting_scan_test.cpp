#include <gtest/gtest.h>

#include <tinyxml.h>

#include <string>
#include <utility>
#include <vector>

#include "message/nesting_scan.h"
#include "tinyxml_depth.h"

namespace vornmt::message {
namespace {

constexpr int kLimit = 64;

std::string Repeat(const std::string& part, std::size_t times) {
    std::string text;
    text.reserve(part.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        text += part;
    }
    return text;
}

using vornmt::fuzzing::BuiltDepth;

TEST(NestingScan, CountsElementsAndSkipsWhatIsNotMarkup) {
    const struct {
        std::string text;
        int depth;
    } cases[] = {
        {"", 0},
        {"plain text", 0},
        {"<a/>", 1},
        {"<a><b/></a>", 2},
        {"<a><b></b><c><d/></c></a><e/>", 3},
        {"<a><!-- <b><c><d> --></a>", 1},
        {"<a><!--> <b> --></a>", 1},
        {"<a><![CDATA[<b><c></b>]]></a>", 1},
        {"<a x='>' y=\"<b>\" z=\"'\"><c/></a>", 2},
        {"<!DOCTYPE x><a/>", 1},
        {"<a><?pi a > <b><c/></b></a>", 3},  // the parser ends "<?" at the first '>'
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9</a>", 1},
        {"<a>\xE9</a>", 1},
        {"<a><a><a>", 3},
        {"<a><b", 2},
        {"</a></a><a/>", 1},
        {"<a></a></a></a><b><c/></b>", 2},
        {"<a>< b><c/></a>", 2},
        {"<a/ >", 1},
        {"<a" + Repeat(" x='='", kMaxAttributesPerElement) + "/>", 1},
        {"<_a><\x7F/></_a>", 2},
        {"<!--<a><b>", 0},
        {std::string("<a/>\0<b><c><d>", 14), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MeasureNesting(c.text, kLimit), c.depth) << c.text;
    }
}

TEST(NestingScan, StopsOnceTheLimitIsPassed) {
    EXPECT_EQ(MeasureNesting(Repeat("<a>", 64), kLimit), 64);
    EXPECT_EQ(MeasureNesting(Repeat("<a>", 64) + "<b/>", kLimit), 65);
    EXPECT_EQ(MeasureNesting(Repeat("<a>", 500000), kLimit), 65);
    EXPECT_EQ(MeasureNesting(Repeat("<a>", 1000) + Repeat("</a>", 1000), kLimit), 65);
    EXPECT_EQ(MeasureNesting(Repeat("<a></a>", kMaxMessageNodes), kLimit), 1);
}

// Every element, attribute and other markup node counts; end tags do not.
TEST(NestingScan, RefusesMoreNodesThanTheBound) {
    constexpr std::size_t kBound = kMaxMessageNodes;
    EXPECT_EQ(MeasureNesting("<a>" + Repeat("<b x='1'></b>", kBound / 2 - 1) + "</a>", kLimit), 2);
    const std::string refused[] = {
        Repeat("<a/>", kBound + 1),
        Repeat("<!---->", kBound + 1),
        Repeat("<![CDATA[]]>", kBound + 1),
        Repeat("<?p?>", kBound + 1),
        "<a>" + Repeat("<b x='1'></b>", kBound / 2) + "</a>",
    };
    for (const std::string& text : refused) {
        EXPECT_EQ(MeasureNesting(text, kLimit), kNestingRefused) << text.substr(0, 20);
    }
}

TEST(NestingScan, RefusesTextTheParserMightSplitDifferently) {
    const std::string refused[] = {
        "<a b=c<d>",
        "<a <b>",
        "<a" + Repeat(" x=''", kMaxAttributesPerElement + 1) + "/>",
        "<?xml version=\"1.0\"?><a>\xC3</a>",          // lead byte before '<' in UTF-8 mode
        "\xEF\xBB\xBF<a>x\xF0\x9F\x98</a>",            // byte order mark, short sequence
        "\xEF\xBB\xBF<a>\xE2\x82",                     // sequence cut by the end of the text
        "<?xml version=\"1.0 ?><a>",                   // quote open across the first '>'
        "<a><?pi \xE9 ?></a>",
    };
    for (const auto& text : refused) {
        EXPECT_EQ(MeasureNesting(text, kLimit), kNestingRefused) << text;
    }
}

// Whatever the scanner accepts, TinyXML builds no deeper than it says.
TEST(NestingScan, NeverReportsLessThanTheParserBuilds) {
    const std::string texts[] = {
        "<a x=\"</a></a>\"><b><c/></b></a>",
        "<a><?x </a> ?><b><c/></b></a>",
        "<a><!DOCTYPE </a>><b><c/></b></a>",
        "<a><?xml version='</a>'?><b><c/></b></a>",
        "<a><?xml x\"y version=\"1\"?><b><c/></b></a>",
        "<a><![CDATA[</a>]]><b/></a>",
        "<a>&#x3c;/a&gt;<b><c/></b></a>",
        "<a>\xC3</a><b><c/></b>",
        "<a b=\"1\" b=\"2\"><c><d/></c></a>",
        "<a><b>text</b><c></d></c></a><e><f><g/></f></e>",
        "<a/><b></b><c><d><e/></d></c>",
        "<a\t\n><b\n/></a>",
        "<a><!-- -- --><b/><!----></a>",
        "<a><!---><b/>--></a>",
    };
    for (const auto& text : texts) {
        const int measured = MeasureNesting(text, kLimit);
        if (measured != kNestingRefused) {
            EXPECT_GE(measured, BuiltDepth(text)) << text;
        }
    }
}

// TinyXML reads "&#" up to the next ';' when only digits precede that ';'
// back to the last '#' (or 'x'), whatever lies between: quotes, '<', tags.
// Found by the fuzzer (corpus file crash_reference_across_quote.xml).
TEST(NestingScan, FollowsCharacterReferencesAcrossQuotesAndTags) {
    const struct {
        std::string text;
        int depth;
    } cases[] = {
        {"<a>&#</a></a><b><c/></b>&#0;</a>", 1},
        {"<a>&#x</a><b/>x41;<c><d/></c></a>", 3},
        {"<a x=\"&#\"><b>\" y=\"&#9;\"><c><d/></c></a>", 3},
        {"<a>&amp;<b>&lt;</b>&#65;&#x41;</a>", 2},
        {"<a>&#<b>;</a>", kNestingRefused},
        {"<a>&#1</a>", kNestingRefused},
        {"<a x='&#x'><b/></a>", kNestingRefused},
        {"<?xml version=\"&#\"?>", kNestingRefused},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MeasureNesting(c.text, kLimit), c.depth) << c.text;
        if (c.depth != kNestingRefused) {
            EXPECT_GE(c.depth, BuiltDepth(c.text)) << c.text;
        }
    }
    const std::string found =
        "<invoke name='ges|er' retu=\"&#='ges|er' retu=\"&#0;ml\"><arer><number<strin>8g\x01\x02" "3<"
        "/number></arguments></invoke>/!</'o";
    const int measured = MeasureNesting(found, kLimit);
    EXPECT_TRUE(measured == kNestingRefused || measured >= BuiltDepth(found)) << measured;
}

TEST(NestingScan, HandlesHostileTextOfAMebibyte) {
    constexpr std::size_t kParts = 1 << 18;
    const std::string hostile[] = {
        Repeat("<!--", kParts), Repeat("<![CDATA[", kParts), Repeat("<?x ", kParts), Repeat("<!", kParts),
        Repeat("</", kParts),   Repeat("<a x='", kParts),    Repeat("<a =\"", kParts), Repeat("<", kParts),
        "<?xml " + Repeat("=\"", kParts) + ">", Repeat("<a>&#", kParts), "<a>&#" + Repeat("1", 4 * kParts) + ";",
        "<a x=\"" + Repeat("&#x", kParts) + ";\">",
    };
    for (const auto& text : hostile) {
        const int measured = MeasureNesting(text, kLimit);
        EXPECT_TRUE(measured == kNestingRefused || (measured >= 0 && measured <= kLimit + 1));
    }
}

}  // namespace
}  // namespace vornmt::message
