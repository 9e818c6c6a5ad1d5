#include "simulator/gesture_codes.h"

#include <utility>

#include "common/text_fields.h"

namespace vornmt::tools {
namespace {

const std::pair<int, const char*> kNames[] = {
    {kTgTouchStart, "TG_TOUCH_START"},
    {kTgDown, "TG_DOWN"},
    {kTgMove, "TG_MOVE"},
    {kTgUp, "TG_UP"},
    {kTgClick, "TG_CLICK"},
    {kTgDoubleClick, "TG_DB_CLICK"},
    {kTgMoveRight, "TG_MOVE_RIGHT"},
    {kTgMoveUp, "TG_MOVE_UP"},
    {kTgMoveLeft, "TG_MOVE_LEFT"},
    {kTgMoveDown, "TG_MOVE_DOWN"},
    {kTgSplitStart, "TG_SPLIT_START"},
    {kTgSplitApart, "TG_SPLIT_APART"},
    {kTgSplitClose, "TG_SPLIT_CLOSE"},
    {kTgSplitEnd, "TG_SPLIT_END"},
    {kTgRotateStart, "TG_ROTATE_START"},
    {kTgRotateAnticlock, "TG_ROTATE_ANTICLOCK"},
    {kTgRotateClock, "TG_ROTATE_CLOCK"},
    {kTgRotateEnd, "TG_ROTATE_END"},
    {kTgMultiDown, "TG_MULTI_DOWN"},
    {kTgMultiMove, "TG_MULTI_MOVE"},
    {kTgMultiUp, "TG_MULTI_UP"},
    {kTgMultiMoveRight, "TG_MULTI_MOVE_RIGHT"},
    {kTgMultiMoveUp, "TG_MULTI_MOVE_UP"},
    {kTgMultiMoveLeft, "TG_MULTI_MOVE_LEFT"},
    {kTgMultiMoveDown, "TG_MULTI_MOVE_DOWN"},
    {kTgTouchEnd, "TG_TOUCH_END"},
};

}  // namespace

std::string SimulatorGestureName(int code) {
    for (const auto& entry : kNames) {
        if (entry.first == code) return entry.second;
    }
    return {};
}

int SimulatorGestureCode(const std::string& name) {
    for (const auto& entry : kNames) {
        if (name == entry.second) return entry.first;
    }
    return -1;
}

bool ExpandGestureSequence(const std::string& text, std::vector<int>* codes) {
    codes->clear();
    for (std::string_view field : SplitFields(text)) {
        if (field.size() > 1 && field[0] == 'x') {
            int count = 0;
            if (codes->empty() || !ParseInteger(field.substr(1), &count) || count < 1) return false;
            codes->insert(codes->end(), static_cast<std::size_t>(count - 1), codes->back());
            continue;
        }
        int code = SimulatorGestureCode(std::string(field));
        if (code < 0) return false;
        codes->push_back(code);
    }
    return true;
}

}  // namespace vornmt::tools
