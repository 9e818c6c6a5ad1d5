// The subscription request: the application's TouchClientRequest together with
// who is asking (executable base name, process id, protocol version).
#pragma once

#include <VornMTClient.h>

#include <string>

#include "platform/sockets.h"

namespace vornmt::requests {

// Protocol version announced in every subscription.
constexpr int kClientVersion = 259;

// The key as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", lower case, 38 characters.
std::string FormatAppKeyId(const Vorn_SDK_MultiTouch::TouchGuid& key);

// The "send_request" message text (without its NUL).
std::string BuildRequestMessage(const Vorn_SDK_MultiTouch::TouchClientRequest& request);

int SendRequest(platform::SocketHandle socket, const Vorn_SDK_MultiTouch::TouchClientRequest& request);

}  // namespace vornmt::requests
