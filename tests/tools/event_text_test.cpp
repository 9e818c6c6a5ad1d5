// The text tools show people: what a terminal must never receive raw.
#include "common/event_text.h"

#include <gtest/gtest.h>

namespace vornmt::tools {
namespace {

TEST(PrintableText, EscapesControlsAndBytesThatAreNoUtf8AndKeepsTheRest) {
    // Tab, backslash, é and € stay; a raw 0x9B (CSI to an 8-bit terminal),
    // a cut-off sequence and an overlong NUL do not.
    EXPECT_EQ(PrintableText("a\tb\\ \xc3\xa9 \xe2\x82\xac"), "a\tb\\ \xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(PrintableText(std::string("\x00\x1b\x7f", 3)), "\\x00\\x1b\\x7f");
    EXPECT_EQ(PrintableText("\xc2\x80\xc2\x9f\xc2\xa0"), "\\u0080\\u009f\xc2\xa0");
    EXPECT_EQ(PrintableText("\x9b" "2J \xe2\x82 \xc0\x80"), "\\x9b2J \\xe2\\x82 \\xc0\\x80");
}

}  // namespace
}  // namespace vornmt::tools
