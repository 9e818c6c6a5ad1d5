#include <gtest/gtest.h>

#include <tinyxml.h>

#include <limits>
#include <string>

#include "message/invoke.h"
#include "message/value_xml.h"
#include "value_printer.h"

namespace vornmt::message {
namespace {

// Reads the value of a document's root element, as the value reader sees it.
Value Read(const std::string& xml) {
    TiXmlDocument document;
    document.Parse(xml.c_str());
    EXPECT_FALSE(document.Error()) << xml;
    const TiXmlElement* root = document.RootElement();
    return root != nullptr ? ValueFromXmlAtLevel(*root, 1) : Value("<no root>");
}

// Sends a value through a whole message, as the server would get it back.
Value RoundTrip(const Value& value) {
    InvokeMessage message;
    EXPECT_TRUE(ParseInvoke(BuildInvoke("echo", ValueToXml(value)), message));
    return message.arguments.size() == 1 ? message.arguments[0] : Value("<lost>");
}

TEST(ValueXml, WritesEveryKind) {
    const struct {
        Value value;
        const char* text;
    } cases[] = {
        {Value(), "<null/>"},
        {true, "<boolean>true</boolean>"},
        {false, "<boolean>false</boolean>"},
        {0, "<number>0</number>"},
        {-5, "<number>-5</number>"},
        {0.5, "<number>0.500000</number>"},
        {2.0, "<number>2.000000</number>"},
        {1e-7, "<number>0.000000</number>"},
        {-0.0, "<number>-0.000000</number>"},
        {"", "<string></string>"},
        {"a<b", "<string>a&lt;b</string>"},
        {ValueArray{}, "<array></array>"},
        {ValueObject{}, "<object></object>"},
        {ValueArray{1, ValueArray{}},
         "<array><property id=\"0\"><number>1</number></property>"
         "<property id=\"1\"><array></array></property></array>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValueToXml(c.value), c.text);
    }
    EXPECT_EQ(ValueToXml(Value(1e300)).size(), 8u + 301u + 7u + 9u);
}

TEST(ValueXml, WritesObjectsInKeyOrderWithEscapedKeys) {
    ValueObject request{{"version", 1}, {"type", 2}, {"app_name", "a"}, {"process_id", 3},
                        {"app_key_id", "k"}, {"param", ""}};
    std::string order;
    const std::string text = ValueToXml(request);
    for (std::size_t at = text.find("id=\""); at != std::string::npos; at = text.find("id=\"", at + 1)) {
        order += text.substr(at + 4, text.find('"', at + 4) - at - 4) + " ";
    }
    EXPECT_EQ(order, "app_key_id app_name param process_id type version ");
    EXPECT_EQ(ValueToXml(request), ValueToXml(Value(request)));
    EXPECT_EQ(ValueToXml(ValueArray{1}), ValueToXml(Value(ValueArray{1})));

    EXPECT_EQ(ValueToXml(ValueObject{{"a\"b<&>'", "x\"y'"}}),
              "<object><property id=\"a&quot;b&lt;&amp;&gt;'\"><string>x\"y'</string></property></object>");
}

TEST(ValueXml, RoundTripKeepsMarkupCharactersAsText) {
    const std::string hostile = "a < b && c > d </string><property id=\"x\"><number>1</number>";
    EXPECT_EQ(RoundTrip(hostile), Value(hostile));
    EXPECT_EQ(RoundTrip(std::string("nul\0inside", 10)), Value(std::string("nul\0inside", 10)));
    const ValueObject keys{{"\"quoted\" <key> & 'more'", 1}, {std::string("\0", 1), 2}};
    EXPECT_EQ(RoundTrip(keys), Value(keys));
}

// The reader condenses and trims white space in texts and turns CR into LF;
// whatever the writer sends must still arrive byte for byte.
TEST(ValueXml, RoundTripKeepsWhiteSpace) {
    for (const std::string text : {"  two  spaces\r\nend\t", " ", " \t\n ", "\rx\r", "a \t b", "tab\tand\nline",
                                   "\fform\f\ffeed\v", "\v"}) {
        EXPECT_EQ(RoundTrip(text), Value(text)) << '"' << text << '"';
        const ValueObject keyed{{text, 1}};
        EXPECT_EQ(RoundTrip(keyed), Value(keyed)) << '"' << text << '"';
    }
    EXPECT_EQ(ValueToXml(Value("a b")), "<string>a b</string>");  // single inner spaces stay plain
    EXPECT_EQ(RoundTrip(std::string(" \r ")), Value(" \r "));
}

TEST(ValueXml, RoundTripKeepsKindsAndValues) {
    const Value tree = ValueObject{
        {"null", Value()},
        {"flags", ValueArray{true, false}},
        {"int", std::numeric_limits<int>::min()},
        {"real", 2.0},
        {"nested", ValueArray{ValueObject{{"deeper", ValueArray{ValueArray{"s"}}}}}},
    };
    EXPECT_EQ(RoundTrip(tree), tree);
    EXPECT_EQ(RoundTrip(1e-7), Value(0.0));  // six decimals: written 0.000000, still a Real
    EXPECT_EQ(RoundTrip(-1.5e300), Value(-1.5e300));
}

TEST(ValueXml, ReadsNumbersStringsAndBooleans) {
    EXPECT_EQ(Read("<number>7</number>"), Value(7));
    EXPECT_EQ(Read("<number>7.5</number>"), Value(7.5));
    EXPECT_EQ(Read("<number>1e3</number>"), Value(1000));
    EXPECT_EQ(Read("<number>x</number>"), Value(0));
    EXPECT_EQ(Read("<number/>"), Value(0));
    EXPECT_EQ(Read("<string/>"), Value(""));
    EXPECT_EQ(Read("<string>a&amp;b</string>"), Value("a&b"));
    EXPECT_EQ(Read("<boolean>true</boolean>"), Value(true));
    EXPECT_EQ(Read("<boolean>TRUE</boolean>"), Value(false));
    EXPECT_EQ(Read("<boolean>1</boolean>"), Value(false));
    EXPECT_EQ(Read("<boolean/>"), Value(false));
    for (const char* unknown : {"<null/>", "<int>5</int>", "<double>1.5</double>", "<Number>5</Number>",
                                "<undefined/>"}) {
        EXPECT_EQ(Read(unknown), Value()) << unknown;
    }
}

TEST(ValueXml, ReadsArraysInDocumentOrderSkippingEmptyChildren) {
    EXPECT_EQ(Read("<array><property id=\"1\"><number>1</number></property>"
                   "<property id=\"0\"><number>0</number></property></array>"),
              Value(ValueArray{1, 0}));
    // A comment, stray text and an empty property hold no value; any element
    // with a child counts, property or not; its first child node is read.
    EXPECT_EQ(Read("<array><!-- note -->stray<property id=\"0\"/><property id=\"1\"></property>"
                   "<item><string>a</string></item><property><number>2</number><number>3</number></property>"
                   "<property>text</property></array>"),
              Value(ValueArray{"a", 2, Value()}));
}

TEST(ValueXml, ReadsObjectsByIdKeepingTheFirst) {
    EXPECT_EQ(Read("<object><property id=\"x\"><number>1</number></property>"
                   "<property id=\"x\"><number>2</number></property>"
                   "<property><number>3</number></property>"
                   "<!-- c --><item id=\"y\"><string>s</string></item>"
                   "<property id=\"empty\"/><property id=\"text\">number</property></object>"),
              Value(ValueObject{{"x", 1}, {"y", "s"}, {"empty", Value()}, {"text", Value()}}));
    // A child-less property still claims its key.
    EXPECT_EQ(Read("<object><property id=\"k\"/><property id=\"k\"><number>1</number></property></object>"),
              Value(ValueObject{{"k", Value()}}));
}

// Levels count from the document's root element as 1. Arrays nest two
// levels per step (array, property), so an array at level 63 or deeper
// has no room for values.
TEST(ValueXml, ReaderStopsAtTheNestingBound) {
    std::string xml;
    for (int level = 1; level <= 71; level += 2) {
        xml += "<array><property id=\"0\">";
    }
    xml += "<number>1</number>";
    for (int level = 1; level <= 71; level += 2) {
        xml += "</property></array>";
    }
    TiXmlDocument document;
    document.Parse(xml.c_str());
    ASSERT_FALSE(document.Error());

    Value value = ValueFromXmlAtLevel(*document.RootElement(), 1);
    int arrays = 0;
    const TiXmlNode* node = document.RootElement();
    for (const ValueArray* array = AsArray(value); array != nullptr;
         array = array->empty() ? nullptr : AsArray((*array)[0])) {
        ++arrays;
        node = node->FirstChild()->FirstChild();
    }
    EXPECT_EQ(arrays, 32);  // levels 1, 3, ..., 63; the last one empty

    // Read from an inner node at its level; `node` is now the array at level 65.
    const TiXmlNode* level63 = node->Parent()->Parent();
    EXPECT_EQ(ValueFromXmlAtLevel(*level63->Parent()->Parent(), 61), Value(ValueArray{ValueArray{}}));
    EXPECT_EQ(ValueFromXmlAtLevel(*level63, 63), Value(ValueArray{}));
    EXPECT_EQ(ValueFromXmlAtLevel(*node, 65), Value());
}

}  // namespace
}  // namespace vornmt::message
