#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/event_signal.h"
#include "platform/owned_descriptors_posix.h"

namespace vornmt::platform {

// An eventfd polls readable while its counter is above zero: Set adds one,
// Reset reads the counter back to zero.

EventSignal::~EventSignal() { Close(); }

int EventSignal::Open() {
    if (handle_ >= 0) return 0;
    OwnedDescriptorsGuard guard;
    int descriptor = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (descriptor < 0) return errno;
    if (!RecordOwned_locked(descriptor)) {
        ::close(descriptor);
        return ENOMEM;
    }
    handle_ = descriptor;
    return 0;
}

void EventSignal::Close() {
    if (handle_ < 0) return;
    OwnedDescriptorsGuard guard;
    ForgetOwned_locked(static_cast<int>(handle_));
    ::close(static_cast<int>(handle_));
    handle_ = -1;
}

void EventSignal::Set() {
    std::uint64_t one = 1;
    while (::write(static_cast<int>(handle_), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EventSignal::Reset() {
    std::uint64_t count = 0;
    // A counter already at zero fails with EAGAIN, which is the state wanted.
    while (::read(static_cast<int>(handle_), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

}  // namespace vornmt::platform
