// Gesture names: a constant table for codes 0 to 63, built from the header's
// gesture codes, and two codes outside it.
#include "client/gesture_names.h"

#include <array>

namespace vornmt::client {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

constexpr int kGestureNameCount = 64;

struct NamedCode {
    uint16_t code;
    const char* name;
};

#define VORNMT_NAMED(code) NamedCode{mt::code, #code}
// Every named code, each spelled once: the header's constant is the name.
constexpr NamedCode kNamedCodes[] = {
    VORNMT_NAMED(TG_TOUCH_START), VORNMT_NAMED(TG_DOWN), VORNMT_NAMED(TG_MOVE), VORNMT_NAMED(TG_UP),
    VORNMT_NAMED(TG_CLICK), VORNMT_NAMED(TG_DB_CLICK), VORNMT_NAMED(TG_BIG_DOWN), VORNMT_NAMED(TG_BIG_MOVE),
    VORNMT_NAMED(TG_BIG_UP), VORNMT_NAMED(TG_MOVE_RIGHT), VORNMT_NAMED(TG_MOVE_UP), VORNMT_NAMED(TG_MOVE_LEFT),
    VORNMT_NAMED(TG_MOVE_DOWN), VORNMT_NAMED(TG_SECOND_DOWN), VORNMT_NAMED(TG_SECOND_UP),
    VORNMT_NAMED(TG_SECOND_CLICK), VORNMT_NAMED(TG_SECOND_DB_CLICK), VORNMT_NAMED(TG_SPLIT_START),
    VORNMT_NAMED(TG_SPLIT_APART), VORNMT_NAMED(TG_SPLIT_CLOSE), VORNMT_NAMED(TG_SPLIT_END),
    VORNMT_NAMED(TG_ROTATE_START), VORNMT_NAMED(TG_ROTATE_ANTICLOCK), VORNMT_NAMED(TG_ROTATE_CLOCK),
    VORNMT_NAMED(TG_ROTATE_END), VORNMT_NAMED(TG_NEAR_PARREL_DOWN), VORNMT_NAMED(TG_NEAR_PARREL_MOVE),
    VORNMT_NAMED(TG_NEAR_PARREL_UP), VORNMT_NAMED(TG_NEAR_PARREL_CLICK), VORNMT_NAMED(TG_NEAR_PARREL_DB_CLICK),
    VORNMT_NAMED(TG_NEAR_PARREL_MOVE_RIGHT), VORNMT_NAMED(TG_NEAR_PARREL_MOVE_UP),
    VORNMT_NAMED(TG_NEAR_PARREL_MOVE_LEFT), VORNMT_NAMED(TG_NEAR_PARREL_MOVE_DOWN), VORNMT_NAMED(TG_MULTI_DOWN),
    VORNMT_NAMED(TG_MULTI_MOVE), VORNMT_NAMED(TG_MULTI_UP), VORNMT_NAMED(TG_MULTI_MOVE_RIGHT),
    VORNMT_NAMED(TG_MULTI_MOVE_UP), VORNMT_NAMED(TG_MULTI_MOVE_LEFT), VORNMT_NAMED(TG_MULTI_MOVE_DOWN),
    VORNMT_NAMED(TG_TOUCH_END), VORNMT_NAMED(TG_NO_ACTION),
};
#undef VORNMT_NAMED

// Codes 0 to 63; those without a name hold the empty text.
constexpr std::array<const char*, kGestureNameCount> MakeNameTable() {
    std::array<const char*, kGestureNameCount> table{};
    for (auto& name : table) name = "";
    for (const NamedCode& named : kNamedCodes) {
        if (named.code < kGestureNameCount) table[named.code] = named.name;
    }
    return table;
}
constexpr std::array<const char*, kGestureNameCount> kGestureNames = MakeNameTable();

}  // namespace

const char* GestureNameOfCode(unsigned code) {
    // The two codes outside the table are looked at before it.
    if (code == mt::TG_TOUCH_END) return "TG_TOUCH_END";
    if (code == mt::TG_NO_ACTION) return "TG_NO_ACTION";
    if (code < kGestureNameCount) return kGestureNames[code];
    return "";  // outside the table: no name
}

const char* GestureName(const Vorn_SDK_MultiTouch::TouchGesture* gesture) {
    return gesture == nullptr ? "" : GestureNameOfCode(gesture->code);
}

int GestureCodeOfName(std::string_view name) {
    if (name.empty()) return -1;  // the unnamed codes hold the empty text
    for (const NamedCode& named : kNamedCodes) {
        if (name == named.name) return named.code;
    }
    return -1;
}

}  // namespace vornmt::client
