// The subscription request: the application's TouchClientRequest together with
// who is asking (executable base name, process id, protocol version).
#pragma once

#include <VornMTClient.h>

#include <string>

#include "requests/outbound_socket.h"

namespace vornmt::requests {

// Protocol version announced in every subscription.
constexpr int kClientVersion = 259;

// The key as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", lower case, 38 characters.
std::string FormatAppKeyId(const Vorn_SDK_MultiTouch::TouchGuid& key);

// The "send_request" message text (without its NUL).
std::string BuildRequestMessage(const Vorn_SDK_MultiTouch::TouchClientRequest& request);

// Returns 0, 10057 without a connection, ERR_NOT_YET_CONNECTED while the
// library connects in the background (the request is sent on that
// connection), or the failed send's error number. Once sent, the request is
// sent again on every connection the library opens in the background.
int SendRequest(const OutboundSocket& target, const Vorn_SDK_MultiTouch::TouchClientRequest& request);

}  // namespace vornmt::requests
