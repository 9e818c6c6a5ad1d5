// Bounds of the receiving side, in one place.
#pragma once

#include <VornMTClient.h>

#include <cstddef>

namespace vornmt::transport {

// Bytes asked of the socket per read: a whole frame of many points in one
// read, where 1023 bytes took a 3.4 KB frame up to four waits and reads
// (the stage from readable to the whole text read went from 18 to 9 us at
// p50), and a long text without its NUL is skipped in a few dozen reads
// instead of thousands. One read adds at most this much past the queue's
// bound. The buffer lives on the receive thread's stack.
constexpr std::size_t kReadChunkBytes = 64 << 10;
// Longest message text accepted, without its NUL.
constexpr std::size_t kMaxMessageBytes = static_cast<std::size_t>(Vorn_SDK_MultiTouch::MAX_MESSAGE_BYTES);
// While the queue holds this many bytes or more, the receive thread stops
// reading and TCP flow control slows the server down; nothing is dropped.
constexpr std::size_t kMaxQueuedBytes = static_cast<std::size_t>(Vorn_SDK_MultiTouch::MAX_QUEUED_BYTES);
// The receive thread resumes once the dispatch thread has drained the queue
// below this mark, so it does not wake for every message taken.
constexpr std::size_t kResumeQueuedBytes = kMaxQueuedBytes / 2;

}  // namespace vornmt::transport
