// Cuts the server's byte stream into message texts at NUL bytes. Owned by the
// receive thread; knows no socket, so it is tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "transport/limits.h"

namespace vornmt::transport {

class MessageFramer {
public:
    explicit MessageFramer(std::size_t max_message_bytes = kMaxMessageBytes)
        : max_message_bytes_(max_message_bytes) {}

    // Appends to `batch` every text that a NUL in `data` completes, in stream
    // order (an empty text for adjacent NULs), and keeps the bytes after the
    // last NUL for the next call. A text that grows past the maximum is
    // dropped up to its NUL; the result counts such texts as they are found.
    int Feed(const char* data, std::size_t size, std::vector<std::string>& batch);

    // Bytes of the unfinished text held so far (0 while one is being dropped).
    std::size_t carry_over_size() const { return carry_over_.size(); }

private:
    const std::size_t max_message_bytes_;
    std::string carry_over_;
    bool dropping_ = false;  // inside an oversized text, until its NUL
};

}  // namespace vornmt::transport
