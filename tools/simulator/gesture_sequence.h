// The reading of expected gesture sequences, as the built-in scenarios
// document them. Names come from the library's own table
// (client/gesture_names.h), so the simulator and GetGestureName can never
// disagree.
#pragma once

#include <string>
#include <vector>

namespace vornmt::tools {

// Expands a documented sequence such as "TG_TOUCH_START TG_MOVE_RIGHT x6
// TG_TOUCH_END" (a name, optionally followed by xN for N repetitions) into
// codes. Returns false for an unknown name or a bad count.
bool ExpandGestureSequence(const std::string& text, std::vector<int>* codes);

}  // namespace vornmt::tools
