#include <VornMTClient.h>
#include <gtest/gtest.h>

#include <string>

#include "client/gesture_names.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;

std::string NameOf(unsigned code) {
    mt::TouchGesture gesture{};
    gesture.code = static_cast<uint16_t>(code);
    const char* name = GetGestureName(&gesture);
    EXPECT_NE(name, nullptr) << code;
    return name != nullptr ? name : "(null)";
}

TEST(GestureNames, EveryNamedCode) {
    const std::pair<unsigned, const char*> named[] = {
        {0, "TG_TOUCH_START"}, {1, "TG_DOWN"}, {6, "TG_MOVE"}, {7, "TG_UP"}, {8, "TG_CLICK"},
        {9, "TG_DB_CLICK"}, {10, "TG_BIG_DOWN"}, {11, "TG_BIG_MOVE"}, {12, "TG_BIG_UP"},
        {17, "TG_MOVE_RIGHT"}, {18, "TG_MOVE_UP"}, {19, "TG_MOVE_LEFT"}, {20, "TG_MOVE_DOWN"},
        {25, "TG_SECOND_DOWN"}, {26, "TG_SECOND_UP"}, {27, "TG_SECOND_CLICK"}, {28, "TG_SECOND_DB_CLICK"},
        {32, "TG_SPLIT_START"}, {33, "TG_SPLIT_APART"}, {34, "TG_SPLIT_CLOSE"}, {35, "TG_SPLIT_END"},
        {36, "TG_ROTATE_START"}, {37, "TG_ROTATE_ANTICLOCK"}, {38, "TG_ROTATE_CLOCK"}, {39, "TG_ROTATE_END"},
        {40, "TG_NEAR_PARREL_DOWN"}, {45, "TG_NEAR_PARREL_MOVE"}, {46, "TG_NEAR_PARREL_UP"},
        {47, "TG_NEAR_PARREL_CLICK"}, {48, "TG_NEAR_PARREL_DB_CLICK"}, {49, "TG_NEAR_PARREL_MOVE_RIGHT"},
        {50, "TG_NEAR_PARREL_MOVE_UP"}, {51, "TG_NEAR_PARREL_MOVE_LEFT"}, {52, "TG_NEAR_PARREL_MOVE_DOWN"},
        {53, "TG_MULTI_DOWN"}, {58, "TG_MULTI_MOVE"}, {59, "TG_MULTI_UP"}, {60, "TG_MULTI_MOVE_RIGHT"},
        {61, "TG_MULTI_MOVE_UP"}, {62, "TG_MULTI_MOVE_LEFT"}, {63, "TG_MULTI_MOVE_DOWN"},
        {128, "TG_TOUCH_END"}, {65535, "TG_NO_ACTION"},
    };
    int named_below_64 = 0;
    for (const auto& [code, name] : named) {
        EXPECT_EQ(NameOf(code), name) << code;
        if (code < 64) ++named_below_64;
    }
    // Every other code of the table, and every code outside it, has the empty name.
    int empty_below_64 = 0;
    for (unsigned code = 0; code < 64; ++code)
        if (NameOf(code).empty()) ++empty_below_64;
    EXPECT_EQ(named_below_64 + empty_below_64, 64);
    for (unsigned code : {2u, 5u, 13u, 16u, 21u, 24u, 29u, 31u, 41u, 44u, 54u, 57u}) EXPECT_EQ(NameOf(code), "");
    for (unsigned code = 64; code < 65535; ++code) {
        if (code == 128) continue;
        ASSERT_EQ(NameOf(code), "") << code;
    }
}

// The bare code gives the same text as a gesture holding it, for every code.
TEST(GestureNames, NameOfCodeIsTheGesturesName) {
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const char* name = GetGestureNameOfCode(static_cast<uint16_t>(code));
        ASSERT_NE(name, nullptr) << code;
        ASSERT_EQ(std::string(name), NameOf(code)) << code;
    }
}

// Each of the header's gesture codes is named after itself: a constant with a
// wrong number gives another name.
TEST(GestureNames, HeaderCodesNameThemselves) {
#define EXPECT_NAMED(code) EXPECT_EQ(NameOf(mt::code), #code)
    EXPECT_NAMED(TG_TOUCH_START); EXPECT_NAMED(TG_DOWN); EXPECT_NAMED(TG_MOVE); EXPECT_NAMED(TG_UP);
    EXPECT_NAMED(TG_CLICK); EXPECT_NAMED(TG_DB_CLICK); EXPECT_NAMED(TG_BIG_DOWN); EXPECT_NAMED(TG_BIG_MOVE);
    EXPECT_NAMED(TG_BIG_UP); EXPECT_NAMED(TG_MOVE_RIGHT); EXPECT_NAMED(TG_MOVE_UP); EXPECT_NAMED(TG_MOVE_LEFT);
    EXPECT_NAMED(TG_MOVE_DOWN); EXPECT_NAMED(TG_SECOND_DOWN); EXPECT_NAMED(TG_SECOND_UP);
    EXPECT_NAMED(TG_SECOND_CLICK); EXPECT_NAMED(TG_SECOND_DB_CLICK); EXPECT_NAMED(TG_SPLIT_START);
    EXPECT_NAMED(TG_SPLIT_APART); EXPECT_NAMED(TG_SPLIT_CLOSE); EXPECT_NAMED(TG_SPLIT_END);
    EXPECT_NAMED(TG_ROTATE_START); EXPECT_NAMED(TG_ROTATE_ANTICLOCK); EXPECT_NAMED(TG_ROTATE_CLOCK);
    EXPECT_NAMED(TG_ROTATE_END); EXPECT_NAMED(TG_NEAR_PARREL_DOWN); EXPECT_NAMED(TG_NEAR_PARREL_MOVE);
    EXPECT_NAMED(TG_NEAR_PARREL_UP); EXPECT_NAMED(TG_NEAR_PARREL_CLICK); EXPECT_NAMED(TG_NEAR_PARREL_DB_CLICK);
    EXPECT_NAMED(TG_NEAR_PARREL_MOVE_RIGHT); EXPECT_NAMED(TG_NEAR_PARREL_MOVE_UP);
    EXPECT_NAMED(TG_NEAR_PARREL_MOVE_LEFT); EXPECT_NAMED(TG_NEAR_PARREL_MOVE_DOWN); EXPECT_NAMED(TG_MULTI_DOWN);
    EXPECT_NAMED(TG_MULTI_MOVE); EXPECT_NAMED(TG_MULTI_UP); EXPECT_NAMED(TG_MULTI_MOVE_RIGHT);
    EXPECT_NAMED(TG_MULTI_MOVE_UP); EXPECT_NAMED(TG_MULTI_MOVE_LEFT); EXPECT_NAMED(TG_MULTI_MOVE_DOWN);
    EXPECT_NAMED(TG_TOUCH_END); EXPECT_NAMED(TG_NO_ACTION);
#undef EXPECT_NAMED
}

TEST(GestureNames, NullGestureHasEmptyName) { EXPECT_STREQ(GetGestureName(nullptr), ""); }

// The simulator reads expected gesture names back into codes with the same table.
TEST(GestureNames, NamesReadBackIntoTheirCodes) {
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const char* name = vornmt::client::GestureNameOfCode(code);
        if (*name != '\0') {
            ASSERT_EQ(vornmt::client::GestureCodeOfName(name), static_cast<int>(code)) << name;
        }
    }
    EXPECT_EQ(vornmt::client::GestureCodeOfName(""), -1);
    EXPECT_EQ(vornmt::client::GestureCodeOfName("TG_WAVE"), -1);
}

TEST(PublicRecords, AssignmentCopiesWholeRecord) {
    mt::TouchGesture source{};
    source.code = 33;
    source.param_count = 2;
    for (int i = 0; i < mt::MAX_GESTURE_PARAMS; ++i) source.params[i] = i + 0.5;  // entries past the count too
    mt::TouchGesture target{};
    target = source;
    for (int i = 0; i < mt::MAX_GESTURE_PARAMS; ++i) EXPECT_EQ(target.params[i], i + 0.5);
    EXPECT_STREQ(GetGestureName(&target), "TG_SPLIT_APART");

    mt::TouchDeviceInfo info{};
    info.info_value_0 = -1;
    info.info_text[127] = 'z';
    mt::TouchDeviceInfo info_copy{};
    info_copy = info;
    EXPECT_EQ(info_copy.info_value_0, -1);
    EXPECT_EQ(info_copy.info_text[127], 'z');
}

}  // namespace
