#include "platform/owned_descriptors_posix.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <vector>

namespace vornmt::platform {
namespace {

// A plain mutex: statically initialised, so it works before and after every
// constructor and destructor of the process.
pthread_mutex_t registry_lock = PTHREAD_MUTEX_INITIALIZER;

// Never destroyed: a descriptor may be closed after the static destructors.
std::vector<int>& Owned() {
    static auto* const owned = new std::vector<int>;
    return *owned;
}

}  // namespace

OwnedDescriptorsGuard::OwnedDescriptorsGuard() { ::pthread_mutex_lock(&registry_lock); }
OwnedDescriptorsGuard::~OwnedDescriptorsGuard() { ::pthread_mutex_unlock(&registry_lock); }

bool RecordOwned_locked(int descriptor) {
    try {
        Owned().push_back(descriptor);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ForgetOwned_locked(int descriptor) {
    std::vector<int>& owned = Owned();
    owned.erase(std::remove(owned.begin(), owned.end(), descriptor), owned.end());
}

void LockOwnedDescriptorsForFork() { ::pthread_mutex_lock(&registry_lock); }

void UnlockOwnedDescriptorsAfterFork() { ::pthread_mutex_unlock(&registry_lock); }

void CloseOwnedDescriptorsInChild() {
    for (int descriptor : Owned()) ::close(descriptor);
    Owned().clear();
    // The forking thread held it; the child's copy is that thread's.
    ::pthread_mutex_unlock(&registry_lock);
}

}  // namespace vornmt::platform
