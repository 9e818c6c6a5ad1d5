#include <gtest/gtest.h>

#include <limits>

#include "message/value.h"
#include "value_printer.h"

namespace vornmt::message {
namespace {

TEST(Value, KindIndexFollowsTheFormatOrder) {
    EXPECT_EQ(Value().which(), 0);
    EXPECT_EQ(KindOf(Value()), ValueKind::Null);
    const struct {
        Value value;
        int index;
        ValueKind kind;
    } cases[] = {
        {NullValue{}, 0, ValueKind::Null},         {true, 1, ValueKind::Boolean},
        {-7, 2, ValueKind::Integer},               {0.5, 3, ValueKind::Real},
        {std::string("x"), 4, ValueKind::String},  {ValueArray{}, 5, ValueKind::Array},
        {ValueObject{}, 6, ValueKind::Object},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.which(), c.index);
        EXPECT_EQ(KindOf(c.value), c.kind);
    }
}

TEST(Value, CharacterStringIsNeverBoolean) {
    EXPECT_EQ(Value("true"), Value(std::string("true")));
    Value assigned = 5;
    assigned = "false";
    EXPECT_EQ(KindOf(assigned), ValueKind::String);
    EXPECT_EQ(assigned, Value(std::string("false")));
    ValueObject object;
    object.insert({"key", "text"});
    EXPECT_EQ(object["key"], Value(std::string("text")));
    EXPECT_EQ(Value(static_cast<const char*>(nullptr)), Value(std::string()));
}

TEST(Value, ToIntegerTruncatesAndMapsOutOfRange) {
    constexpr int kMin = std::numeric_limits<int>::min();
    const struct {
        Value value;
        int expected;
    } cases[] = {
        {-7, -7},
        {1919.999999, 1919},
        {-0.5, 0},
        {-2.9, -2},
        {2147483647.9, 2147483647},
        {3000000000.0, kMin},
        {2147483648.0, kMin},
        {-2147483648.0, kMin},
        {-2147483648.9, kMin},
        {-2147483649.0, kMin},
        {std::numeric_limits<double>::quiet_NaN(), kMin},
        {std::numeric_limits<double>::infinity(), kMin},
        {-std::numeric_limits<double>::infinity(), kMin},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToInteger(c.value), c.expected) << ToReal(c.value);
    }
}

TEST(Value, ConversionsRejectOtherKinds) {
    EXPECT_THROW(ToInteger(Value()), boost::bad_get);
    EXPECT_THROW(ToInteger(true), boost::bad_get);
    EXPECT_THROW(ToInteger("5"), boost::bad_get);
    EXPECT_THROW(ToReal("0.5"), boost::bad_get);
    EXPECT_EQ(ToReal(3), 3.0);
}

// Round trips and decoders are checked with ==, so it must tell kinds apart
// (an Integer 1 is not a Real 1.0, nor 0 false, nor "" Null) at every depth.
TEST(Value, EqualNeedsTheSameKindAndPayloadThroughTheWholeTree) {
    const Value different[] = {Value(), false, 0, 1, 1.0, 1.5, "", "1",
                               ValueArray{}, ValueArray{1}, ValueArray{1.0}, ValueArray{ValueArray{1}},
                               ValueObject{}, ValueObject{{"k", 1}}, ValueObject{{"k", 1.0}}, ValueObject{{"K", 1}}};
    for (const Value& left : different) {
        for (const Value& right : different) {
            EXPECT_EQ(left == right, &left == &right) << ::testing::PrintToString(left) << " vs "
                                                      << ::testing::PrintToString(right);
        }
    }
    const Value tree = ValueArray{ValueObject{{"list", ValueArray{1, "x", Value()}}}};
    EXPECT_EQ(tree, Value(ValueArray{ValueObject{{"list", ValueArray{1, "x", NullValue{}}}}}));
    EXPECT_NE(tree, Value(ValueArray{ValueObject{{"list", ValueArray{1, "x", false}}}}));
}

TEST(Value, ViewsPointIntoTheValueAndRefuseOtherKinds) {
    const Value array = ValueArray{1, "x"};
    const Value object = ValueObject{{"k", 1}};
    ASSERT_NE(AsArray(array), nullptr);
    EXPECT_EQ(AsArray(array), &boost::get<ValueArray>(array));
    EXPECT_EQ(AsObject(object), &boost::get<ValueObject>(object));
    EXPECT_EQ(AsArray(Value()), nullptr);
    EXPECT_EQ(AsObject(Value()), nullptr);
    EXPECT_EQ(AsArray(object), nullptr);
    EXPECT_EQ(AsObject(array), nullptr);
    EXPECT_EQ(AsArray(5), nullptr);
}

}  // namespace
}  // namespace vornmt::message
