// The one table of gesture names, for the library's GetGestureName and for
// the tools (the simulator names what it sends with it). Any thread.
#pragma once

#include <VornMTClient.h>

#include <string_view>

namespace vornmt::client {

// Name of a gesture's code; the empty text for unnamed codes and for null.
const char* GestureName(const Vorn_SDK_MultiTouch::TouchGesture* gesture);
// The same for a bare code.
const char* GestureNameOfCode(unsigned code);
// The code of a gesture name, or -1 when no code has that name.
int GestureCodeOfName(std::string_view name);

}  // namespace vornmt::client
