// The library's own descriptors (its sockets and wake-up pipes), so that a
// forked child closes its copies before anything else runs there. Opening a
// descriptor and recording it, or forgetting and closing it, is one step
// under the registry's lock, and a fork takes that lock first: a child never
// holds a descriptor of the library that the registry missed, nor closes a
// number that was already closed and may belong to the application by then.
#pragma once

namespace vornmt::platform {

// Holds the registry's lock for one open-and-record or forget-and-close step.
class OwnedDescriptorsGuard {
public:
    OwnedDescriptorsGuard();
    ~OwnedDescriptorsGuard();
    OwnedDescriptorsGuard(const OwnedDescriptorsGuard&) = delete;
    OwnedDescriptorsGuard& operator=(const OwnedDescriptorsGuard&) = delete;
};

// Under the guard. Recording fails (false) only when no memory is left.
bool RecordOwned_locked(int descriptor);
void ForgetOwned_locked(int descriptor);

// The fork hooks: the parent holds the lock across the fork; the child, on
// its one thread, closes every recorded descriptor and starts with an empty
// registry.
void LockOwnedDescriptorsForFork();
void UnlockOwnedDescriptorsAfterFork();
void CloseOwnedDescriptorsInChild();

}  // namespace vornmt::platform
