// The settings and the resolution query: one message each, sent on the
// application's calling thread; answers arrive on the dispatch thread.
#pragma once

#include <string>

#include "requests/resolution_slot.h"
#include "requests/outbound_socket.h"

namespace vornmt::requests {

std::string BuildThresholdMessage(int move_threshold);
std::string BuildRawDataResolutionMessage(int x, int y);
std::string BuildResolutionQuery();

// Each returns 0, 10057 without a connection, ERR_NOT_YET_CONNECTED while
// the library connects in the background, or the failed send's error number;
// each is a setting that is sent again on connections opened in the
// background (see OutboundSocket::SendSetting).
int SendThreshold(const OutboundSocket& target, int move_threshold);
int SetRawDataResolution(const OutboundSocket& target, int x, int y);

// Stores `callback` in the resolution slot and sends the query; after a
// failed send the slot holds what it would hold had this query not been made.
int GetServerResolution(const OutboundSocket& target, ResolutionSlot& slot, ResolutionTarget callback);

}  // namespace vornmt::requests
