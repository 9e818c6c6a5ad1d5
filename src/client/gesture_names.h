#pragma once

#include <VornMTClient.h>

namespace vornmt::client {

// Name of a gesture's code; the empty text for unnamed codes and for null.
const char* GestureName(const Vorn_SDK_MultiTouch::TouchGesture* gesture);

}  // namespace vornmt::client
