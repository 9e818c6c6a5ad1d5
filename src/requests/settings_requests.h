// The settings and the resolution query: one message each, sent on the
// application's calling thread; answers arrive on the dispatch thread.
#pragma once

#include <string>

#include "client/callback_registry.h"
#include "platform/sockets.h"

namespace vornmt::requests {

std::string BuildThresholdMessage(int move_threshold);
std::string BuildRawDataResolutionMessage(int x, int y);
std::string BuildResolutionQuery();

// Each returns 0, 10057 without a connection, or the failed send's error number.
int SendThreshold(platform::SocketHandle socket, int move_threshold);
int SetRawDataResolution(platform::SocketHandle socket, int x, int y);

// Stores `target` in the resolution slot before sending, so an answer that
// arrives at once finds it; a failed send puts the earlier pair back.
int GetServerResolution(platform::SocketHandle socket, client::CallbackRegistry& registry,
                        client::ResolutionTarget target);

}  // namespace vornmt::requests
