// Timestamps of a message's way through the library, for the stage-by-stage
// latency report of the loopback benchmark. Only a build configured with
// -DVORNMT_STAGE_TIMESTAMPS=ON records them; in every other build MarkStage
// is an empty inline function and costs nothing.
//
// One slot per stage, last write wins: the benchmark sends one message at a
// time, so all slots belong to the message in flight. The receive thread
// writes the first four, the dispatch thread the rest; the queue's lock
// orders them before the callback that reads them. Only the transport marks
// stages: the reading of a text (pre-scan, TinyXML, values) is one stage.
#pragma once

#include <cstdint>

#if defined(VORNMT_STAGE_TIMESTAMPS)
#include <atomic>
#include <chrono>
#endif

namespace vornmt::instrumentation {

enum class Stage {
    kReadable,   // receive thread: the socket became readable for a new message
    kRead,       // receive thread: the read that completed the text returned
    kFramed,     // receive thread: the framer cut the text
    kQueued,     // receive thread: the text is queued and the dispatch thread notified
    kWoke,       // dispatch thread: took the text from the queue
    kParsed,     // dispatch thread: the text is read into Values, its document destroyed
    kDecoded,    // dispatch thread: the record is filled, the callback is next
    kCount
};

#if defined(VORNMT_STAGE_TIMESTAMPS)
constexpr bool kStageTimestamps = true;

// Nanoseconds of the steady clock at each stage's last mark.
inline std::atomic<std::int64_t> stage_times[static_cast<int>(Stage::kCount)];

inline std::int64_t StageClockNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline void MarkStage(Stage stage) {
    stage_times[static_cast<int>(stage)].store(StageClockNow(), std::memory_order_relaxed);
}

inline std::int64_t StageTime(Stage stage) {
    return stage_times[static_cast<int>(stage)].load(std::memory_order_relaxed);
}
#else
constexpr bool kStageTimestamps = false;

inline void MarkStage(Stage) {}
inline std::int64_t StageTime(Stage) { return 0; }
#endif

}  // namespace vornmt::instrumentation
