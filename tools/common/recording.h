// Recording files: what a client received from a touch server, one event per
// line with the time it arrived, so that the simulator can replay a session
// at its original timing. Written by the monitor, read by the simulator; the
// format is described in docs/simulator.md.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <VornMTClient.h>

#include "common/protocol.h"

namespace vornmt::tools {

// First line of every recording; the number is the format version.
extern const char* const kRecordingMagic;
// A frame line holds at most this many points (the client delivers no more).
constexpr int kMaxRecordedPoints = Vorn_SDK_MultiTouch::MAX_FRAME_POINTS;
// Latest event time a recording may hold (about 31 years), so that replay
// timing arithmetic never overflows.
constexpr double kMaxRecordedTimeMs = 1e12;
// A gesture line holds at most this many parameters.
constexpr int kMaxRecordedParams = Vorn_SDK_MultiTouch::MAX_GESTURE_PARAMS;

struct RecordedEvent {
    double time_ms = 0;  // since the recording started
    WireEvent event;
};

struct Recording {
    std::vector<RecordedEvent> events;  // in time order
};

// One line of the file for `event`, without the line break.
std::string FormatRecordedEvent(const RecordedEvent& event);

// Reads a whole recording. On failure returns false with a message that
// names the line ("line 7: frame: expected 6 numbers per point").
bool ParseRecording(const std::string& text, Recording* recording, std::string* error);

// Reads a file into memory (binary, so line breaks arrive as written).
bool ReadTextFile(const std::string& path, std::string* text, std::string* error);

// Appends events to a recording file as they arrive. Any thread; the lines
// of concurrent writers never interleave.
class RecordingWriter {
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates (or truncates) the file and writes the first line.
    bool Open(const std::string& path, std::string* error);
    void Write(const RecordedEvent& event);
    // Flushes and closes; false if any write failed.
    bool Close(std::string* error);

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;  // guarded by mutex_
    bool failed_ = false;        // guarded by mutex_
    std::string path_;
};

}  // namespace vornmt::tools
