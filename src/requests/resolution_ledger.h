// What the resolution slot must hold while resolution queries are in flight
// on several threads: the pair of the latest query whose send has not failed,
// or, once every later one has failed, the pair held before them. A query's
// pair is stored before its send, so an answer that comes back at once is
// never lost; a failed query takes out only its own pair, so its callback is
// never called after its call has returned. Plain data: its owner guards it
// with the slot's pair lock.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "requests/resolution_slot.h"

namespace vornmt::requests {

class ResolutionLedger {
public:
    // A query stores `target`; the slot held `current`. Returns the query's
    // ticket. May throw bad_alloc before anything changes.
    std::uint64_t Begin(ResolutionTarget target, ResolutionTarget current);
    // The query's send ended (`sent` or failed). Returns true and the pair
    // the slot must hold now, or false for a ticket this ledger never gave
    // (a forked child's new ledger); the slot then stays as it is.
    bool End(std::uint64_t ticket, bool sent, ResolutionTarget* slot);

private:
    ResolutionTarget settled_{nullptr, nullptr};  // the pair before the pending queries
    std::vector<std::pair<std::uint64_t, ResolutionTarget>> pending_;  // in store order
    std::uint64_t next_ticket_ = 1;
};

}  // namespace vornmt::requests
