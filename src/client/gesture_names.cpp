// Gesture names: a constant table for codes 0 to 63 and two codes outside it.
#include "client/gesture_names.h"

namespace vornmt::client {
namespace {

constexpr int kGestureNameCount = 64;
constexpr unsigned kTouchEndCode = 128;
constexpr unsigned kNoActionCode = 0xFFFF;

// Codes without a name hold the empty text.
constexpr const char* kGestureNames[kGestureNameCount] = {
    "TG_TOUCH_START",  // 0
    "TG_DOWN",
    "", "", "", "",  // 2 to 5
    "TG_MOVE",       // 6
    "TG_UP",
    "TG_CLICK",
    "TG_DB_CLICK",
    "TG_BIG_DOWN",  // 10
    "TG_BIG_MOVE",
    "TG_BIG_UP",
    "", "", "", "",  // 13 to 16
    "TG_MOVE_RIGHT",  // 17
    "TG_MOVE_UP",
    "TG_MOVE_LEFT",
    "TG_MOVE_DOWN",  // 20
    "", "", "", "",  // 21 to 24
    "TG_SECOND_DOWN",  // 25
    "TG_SECOND_UP",
    "TG_SECOND_CLICK",
    "TG_SECOND_DB_CLICK",
    "", "", "",        // 29 to 31
    "TG_SPLIT_START",  // 32
    "TG_SPLIT_APART",
    "TG_SPLIT_CLOSE",
    "TG_SPLIT_END",
    "TG_ROTATE_START",  // 36
    "TG_ROTATE_ANTICLOCK",
    "TG_ROTATE_CLOCK",
    "TG_ROTATE_END",
    "TG_NEAR_PARREL_DOWN",  // 40
    "", "", "", "",         // 41 to 44
    "TG_NEAR_PARREL_MOVE",  // 45
    "TG_NEAR_PARREL_UP",
    "TG_NEAR_PARREL_CLICK",
    "TG_NEAR_PARREL_DB_CLICK",
    "TG_NEAR_PARREL_MOVE_RIGHT",
    "TG_NEAR_PARREL_MOVE_UP",  // 50
    "TG_NEAR_PARREL_MOVE_LEFT",
    "TG_NEAR_PARREL_MOVE_DOWN",
    "TG_MULTI_DOWN",
    "", "", "", "",    // 54 to 57
    "TG_MULTI_MOVE",   // 58
    "TG_MULTI_UP",
    "TG_MULTI_MOVE_RIGHT",  // 60
    "TG_MULTI_MOVE_UP",
    "TG_MULTI_MOVE_LEFT",
    "TG_MULTI_MOVE_DOWN",  // 63
};

}  // namespace

const char* GestureNameOfCode(unsigned code) {
    if (code == kTouchEndCode) return "TG_TOUCH_END";
    if (code == kNoActionCode) return "TG_NO_ACTION";
    if (code < kGestureNameCount) return kGestureNames[code];
    return "";  // outside the table: no name
}

const char* GestureName(const Vorn_SDK_MultiTouch::TouchGesture* gesture) {
    return gesture == nullptr ? "" : GestureNameOfCode(gesture->code);
}

int GestureCodeOfName(std::string_view name) {
    if (name.empty()) return -1;  // the unnamed codes hold the empty text
    for (unsigned code : {kTouchEndCode, kNoActionCode}) {
        if (name == GestureNameOfCode(code)) return static_cast<int>(code);
    }
    for (int code = 0; code < kGestureNameCount; ++code) {
        if (name == kGestureNames[code]) return code;
    }
    return -1;
}

}  // namespace vornmt::client
