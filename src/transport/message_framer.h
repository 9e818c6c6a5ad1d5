// Cuts the server's byte stream into message texts at NUL bytes. Owned by the
// receive thread; knows no socket, so it is tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "transport/limits.h"

namespace vornmt::transport {

// Stands in the stream of texts for one that was dropped as oversized, where
// that text began, so that the dispatch thread reports it in stream order. A
// real text never holds a NUL, so it cannot be mistaken for one.
inline const std::string& OversizedMarker() {
    static const std::string marker(1, '\0');
    return marker;
}
inline bool IsOversizedMarker(const std::string& text) { return text.size() == 1 && text[0] == '\0'; }

class MessageFramer {
public:
    explicit MessageFramer(std::size_t max_message_bytes = kMaxMessageBytes)
        : max_message_bytes_(max_message_bytes) {}

    // Appends to `batch` every text that a NUL in `data` completes, in stream
    // order (an empty text for adjacent NULs), and keeps the bytes after the
    // last NUL for the next call. A text that grows past the maximum is
    // dropped up to its NUL: an OversizedMarker takes its place in `batch`
    // as soon as it is found, and the result counts such texts. Each text's
    // buffer holds little more than its length.
    int Feed(const char* data, std::size_t size, std::vector<std::string>& batch);

    // Bytes of the unfinished text held so far (0 while one is being dropped).
    std::size_t carry_over_size() const { return carry_over_.size(); }

private:
    void CompleteText(std::vector<std::string>& batch);

    const std::size_t max_message_bytes_;
    std::string carry_over_;
    bool dropping_ = false;  // inside an oversized text, until its NUL
};

}  // namespace vornmt::transport
