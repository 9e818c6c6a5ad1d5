// Fuzzes the framer with a byte stream as a server could send it, cut into
// reads of sizes taken from the input itself. Checks beyond "no crash": the
// texts equal a reference cut of the same stream, whatever the read sizes,
// and the carry-over never exceeds the message bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "transport/message_framer.h"

namespace {

constexpr std::size_t kBound = 64;  // small, so the fuzzer reaches the oversize path

// The texts the stream holds: every NUL ends one; a longer text is replaced
// by the oversize marker.
std::vector<std::string> ReferenceCut(const std::string& stream, int* oversized) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    *oversized = 0;
    std::size_t nul;
    while ((nul = stream.find('\0', start)) != std::string::npos) {
        std::string text = stream.substr(start, nul - start);
        if (text.size() > kBound) {
            ++*oversized;
            texts.push_back(vornmt::transport::OversizedMarker());
        } else {
            texts.push_back(text);
        }
        start = nul + 1;
    }
    if (stream.size() - start > kBound) {
        ++*oversized;
        texts.push_back(vornmt::transport::OversizedMarker());
    }
    return texts;
}

}  // namespace

// The corpus replay test builds this file under another entry name.
#ifndef VORNMT_FUZZ_ENTRY
#define VORNMT_FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif

extern "C" int VORNMT_FUZZ_ENTRY(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks the read size (1 to 256 bytes); the rest is the stream.
    std::size_t chunk = static_cast<std::size_t>(data[0]) + 1;
    std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);

    vornmt::transport::MessageFramer framer(kBound);
    std::vector<std::string> texts;
    int oversized = 0;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        std::size_t n = std::min(chunk, stream.size() - at);
        oversized += framer.Feed(stream.data() + at, n, texts);
        if (framer.carry_over_size() > kBound) std::abort();
    }
    int expected_oversized = 0;
    if (texts != ReferenceCut(stream, &expected_oversized)) std::abort();
    if (oversized != expected_oversized) std::abort();
    return 0;
}
