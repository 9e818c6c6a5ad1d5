// Replays the seed corpora of the framing and routing fuzzers through the
// harnesses themselves, so every build checks their invariants (a broken
// invariant aborts the test program).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int FrameStreamFuzzEntry(const std::uint8_t* data, std::size_t size);
extern "C" int RouteMessageFuzzEntry(const std::uint8_t* data, std::size_t size);

namespace {

int ReplayFolder(const std::filesystem::path& folder, int (*entry)(const std::uint8_t*, std::size_t)) {
    int files = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(item.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++files;
    }
    return files;
}

TEST(CorpusReplay, FrameStream) {
    EXPECT_GT(ReplayFolder(VORNMT_FUZZ_CORPUS "/frame_stream", FrameStreamFuzzEntry), 0);
}

TEST(CorpusReplay, RouteMessage) {
    EXPECT_GT(ReplayFolder(VORNMT_FUZZ_CORPUS "/route_message", RouteMessageFuzzEntry), 0);
    EXPECT_GT(ReplayFolder(VORNMT_FUZZ_CORPUS "/parse_invoke", RouteMessageFuzzEntry), 0);
}

}  // namespace
