// Puts a pair in a registry's resolution slot the way a resolution query
// does (stored before its send, kept once the send succeeded), for tests that
// need the slot filled or emptied without a connection. No other query may
// be in flight.
#pragma once

#include "client/callback_registry.h"
#include "requests/resolution_slot.h"

namespace vornmt::testing {

inline void StoreResolutionPair(client::CallbackRegistry& registry, requests::ResolutionTarget target) {
    registry.EndResolutionQuery(registry.BeginResolutionQuery(target), true);
}

}  // namespace vornmt::testing
