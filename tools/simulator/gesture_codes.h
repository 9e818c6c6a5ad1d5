// Gesture codes the simulator sends, and the reading of expected gesture
// sequences. Names come from the library's own table (client/gesture_names.h),
// so the simulator and GetGestureName can never disagree.
#pragma once

#include <string>
#include <vector>

namespace vornmt::tools {

constexpr int kTgTouchStart = 0;
constexpr int kTgDown = 1;
constexpr int kTgMove = 6;
constexpr int kTgUp = 7;
constexpr int kTgClick = 8;
constexpr int kTgDoubleClick = 9;
constexpr int kTgMoveRight = 17;  // then up, left, down: the same order in every direction family
constexpr int kTgMoveUp = 18;
constexpr int kTgMoveLeft = 19;
constexpr int kTgMoveDown = 20;
constexpr int kTgSplitStart = 32;
constexpr int kTgSplitApart = 33;
constexpr int kTgSplitClose = 34;
constexpr int kTgSplitEnd = 35;
constexpr int kTgRotateStart = 36;
constexpr int kTgRotateAnticlock = 37;
constexpr int kTgRotateClock = 38;
constexpr int kTgRotateEnd = 39;
constexpr int kTgMultiDown = 53;
constexpr int kTgMultiMove = 58;
constexpr int kTgMultiUp = 59;
constexpr int kTgMultiMoveRight = 60;
constexpr int kTgMultiMoveUp = 61;
constexpr int kTgMultiMoveLeft = 62;
constexpr int kTgMultiMoveDown = 63;
constexpr int kTgTouchEnd = 128;

// Expands a documented sequence such as "TG_TOUCH_START TG_MOVE_RIGHT x6
// TG_TOUCH_END" (a name, optionally followed by xN for N repetitions) into
// codes. Returns false for an unknown name or a bad count.
bool ExpandGestureSequence(const std::string& text, std::vector<int>* codes);

}  // namespace vornmt::tools
