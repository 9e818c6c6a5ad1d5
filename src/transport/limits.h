// Bounds of the receiving side, in one place.
#pragma once

#include <VornMTClient.h>

#include <cstddef>

namespace vornmt::transport {

// Bytes asked of the socket per read.
constexpr std::size_t kReadChunkBytes = 1023;
// Longest message text accepted, without its NUL.
constexpr std::size_t kMaxMessageBytes = static_cast<std::size_t>(Vorn_SDK_MultiTouch::MAX_MESSAGE_BYTES);
// While the queue holds this many bytes or more, the receive thread stops
// reading and TCP flow control slows the server down; nothing is dropped.
constexpr std::size_t kMaxQueuedBytes = static_cast<std::size_t>(Vorn_SDK_MultiTouch::MAX_QUEUED_BYTES);
// The receive thread resumes once the dispatch thread has drained the queue
// below this mark, so it does not wake for every message taken.
constexpr std::size_t kResumeQueuedBytes = kMaxQueuedBytes / 2;

}  // namespace vornmt::transport
