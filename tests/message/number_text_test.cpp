#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <stdexcept>
#include <string>

#include "message/invoke.h"
#include "message/number_text.h"
#include "message/value_xml.h"
#include "value_printer.h"

namespace vornmt::message {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string RealText(double value) {
    std::string text;
    AppendRealText(text, value);
    return text;
}

std::string IntegerText(int value) {
    std::string text;
    AppendIntegerText(text, value);
    return text;
}

TEST(NumberText, ReadsIntegerOrRealByTheTextAndItsValue) {
    const struct {
        const char* text;
        Value expected;
    } cases[] = {
        {"12", 12},
        {"12.0", 12.0},
        {"1e3", 1000},
        {"2.5e0", 2.5},
        {"5e-1", 0.5},
        {"3000000000", 3000000000.0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483648.0},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"-2147483649", -2147483649.0},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"1d3", 1000},
        {"1D-3", 0.001},
        {" 7", 7},
        {"\t\n\v\f\r-7", -7},
        {"+5", 5},
        {"-", 0},
        {".", 0.0},  // no number, but the '.' still makes it a Real
        {".5", 0.5},
        {"5.", 5.0},
        {"-0", 0},
        {"1e999", kInfinity},
        {"-1e999", -kInfinity},
        {"1e-999", 0},
        {"1e99999999999999999999", kInfinity},
        {"0.000000", 0.0},
        {"2e", 2},
        {"2e+", 2},
        {"2ex", 2},
        {"1.2.3", 1.2},
        {"12abc.5", 12.0},
        {"0x1A", 0},
        {"inf", 0},
        {"nan", 0},
        {"1 000", 1},
        {"1,5", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberFromText(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(NumberText, ConvertsLikeStrtodAtTheEdges) {
    EXPECT_EQ(ReadLeadingNumber("0.1"), 0.1);
    EXPECT_EQ(ReadLeadingNumber("0.1000000000000000055511151231257827021181583404541015625"), 0.1);
    EXPECT_EQ(ReadLeadingNumber("000000000000000000000000000000000000000012.5"), 12.5);
    EXPECT_EQ(ReadLeadingNumber("0.00000000000000000000000000000000000000125e40"), 12.5);
    EXPECT_EQ(ReadLeadingNumber("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(ReadLeadingNumber("1.8e308"), kInfinity);
    EXPECT_EQ(ReadLeadingNumber("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(ReadLeadingNumber("2e-324"), 0.0);
    EXPECT_TRUE(std::signbit(ReadLeadingNumber("-0.0")));
    EXPECT_TRUE(std::signbit(ReadLeadingNumber("-1e-999")));
    std::string long_mantissa = "1" + std::string(5000, '0') + "e-5000";
    EXPECT_EQ(ReadLeadingNumber(long_mantissa), 1.0);
}

TEST(NumberText, WritesIntegersAndFixedSixDecimalReals) {
    EXPECT_EQ(IntegerText(0), "0");
    EXPECT_EQ(IntegerText(-5), "-5");
    EXPECT_EQ(IntegerText(std::numeric_limits<int>::min()), "-2147483648");
    EXPECT_EQ(RealText(0.5), "0.500000");
    EXPECT_EQ(RealText(2.0), "2.000000");
    EXPECT_EQ(RealText(1e-7), "0.000000");
    EXPECT_EQ(RealText(-0.0), "-0.000000");
    EXPECT_EQ(RealText(0.0000015), "0.000002");
    EXPECT_EQ(RealText(-1919.25), "-1919.250000");
    EXPECT_EQ(RealText(1e300),
              "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447"
              "8640437044438328838781769425232353604305756447921847867069828483872009265758037378302337947880900"
              "5936895323497079994508111903896764088007465274278014249457925878882005684283811566947219638686545"
              "9400540160.000000");
    EXPECT_EQ(RealText(-DBL_MAX).size(), 1u + 309u + 7u);
    EXPECT_EQ(RealText(kInfinity), "inf");
}

TEST(NumberText, MatchesPrintfInTheClassicLocale) {
    const double samples[] = {0.1, 1.0 / 3.0, -2.5e-6, 123456789.987654321, 4.5e15, 0.0000005, 1e22, -1e-300};
    for (double sample : samples) {
        char expected[512];
        std::snprintf(expected, sizeof expected, "%f", sample);
        EXPECT_EQ(RealText(sample), expected);
    }
}

// A host that switches to a comma-decimal locale must not change the wire.
TEST(NumberText, IgnoresTheHostLocale) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "German"};
    const char* chosen = nullptr;
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr && std::string(std::localeconv()->decimal_point) == ",") {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no comma-decimal locale is installed";
    }
    // Some C++ runtimes (mingw's) know no named locales; the C locale is the
    // one that printf, strtod and TinyXML's character tests follow anyway.
    try {
        std::locale::global(std::locale(chosen));
    } catch (const std::runtime_error&) {
    }

    std::string written = ValueToXml(ValueArray{0.5, 1234567.25, -3});
    InvokeMessage message;
    const bool parsed =
        ParseInvoke(BuildInvoke("n", "<number>0.5</number><number>1,5</number><number>2e3</number>"), message);

    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");

    EXPECT_EQ(written,
              "<array><property id=\"0\"><number>0.500000</number></property>"
              "<property id=\"1\"><number>1234567.250000</number></property>"
              "<property id=\"2\"><number>-3</number></property></array>");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(message.arguments, (ValueArray{0.5, 1, 2000}));
}

}  // namespace
}  // namespace vornmt::message
