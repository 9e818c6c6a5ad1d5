// Message texts the benchmarks send, written the way a server writes them.
#pragma once

#include <string>

namespace vornmt::bench {

// A "frame" with `points` touch points; `sequence` goes in the first number.
std::string FrameMessage(int sequence, int points);

}  // namespace vornmt::bench
