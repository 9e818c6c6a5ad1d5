#include "requests/resolution_ledger.h"

#include <algorithm>

namespace vornmt::requests {

std::uint64_t ResolutionLedger::Begin(ResolutionTarget target, ResolutionTarget current) {
    const std::uint64_t ticket = next_ticket_;
    pending_.emplace_back(ticket, target);  // first, so bad_alloc changes nothing
    if (pending_.size() == 1) settled_ = current;
    ++next_ticket_;
    return ticket;
}

bool ResolutionLedger::End(std::uint64_t ticket, bool sent, ResolutionTarget* slot) {
    auto entry = std::find_if(pending_.begin(), pending_.end(),
                              [ticket](const auto& pending) { return pending.first == ticket; });
    if (entry == pending_.end()) return false;
    if (sent) {
        // Earlier queries still sending no longer matter: this one is later.
        settled_ = entry->second;
        pending_.erase(pending_.begin(), entry + 1);
    } else {
        pending_.erase(entry);
    }
    *slot = pending_.empty() ? settled_ : pending_.back().second;
    return true;
}

}  // namespace vornmt::requests
