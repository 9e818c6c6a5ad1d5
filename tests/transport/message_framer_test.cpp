#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/message_framer.h"

namespace vornmt::transport {
namespace {

using Texts = std::vector<std::string>;
const std::string kNul(1, '\0');

Texts FeedAll(MessageFramer& framer, const std::vector<std::string>& reads, int* oversized = nullptr) {
    Texts batch;
    int dropped = 0;
    for (const std::string& read : reads) dropped += framer.Feed(read.data(), read.size(), batch);
    if (oversized) *oversized = dropped;
    return batch;
}

TEST(MessageFramer, CutsAtEveryNulAndCarriesTheRest) {
    MessageFramer framer;
    Texts batch;
    std::string first = "A" + kNul + "B" + kNul + "C";
    framer.Feed(first.data(), first.size(), batch);
    EXPECT_EQ(batch, (Texts{"A", "B"}));
    EXPECT_EQ(framer.carry_over_size(), 1u);
    batch.clear();
    std::string second = "D" + kNul;
    framer.Feed(second.data(), second.size(), batch);
    EXPECT_EQ(batch, Texts{"CD"});
    EXPECT_EQ(framer.carry_over_size(), 0u);
}

TEST(MessageFramer, EdgeNuls) {
    MessageFramer framer;
    // Leading NUL completes what was carried; adjacent NULs give empty texts.
    EXPECT_EQ(FeedAll(framer, {"xy", kNul + "z" + kNul + kNul, kNul}), (Texts{"xy", "z", "", ""}));
    EXPECT_EQ(framer.carry_over_size(), 0u);
}

TEST(MessageFramer, ChunkWithoutNulOnlyGrowsTheCarryOver) {
    MessageFramer framer;
    EXPECT_TRUE(FeedAll(framer, {std::string(1023, 'q')}).empty());
    EXPECT_EQ(framer.carry_over_size(), 1023u);
    EXPECT_EQ(FeedAll(framer, {kNul}), Texts{std::string(1023, 'q')});
}

// The same stream, fed whole, byte by byte, split once at every position and
// in small chunks, always gives the same texts.
TEST(MessageFramer, AnySplitGivesTheSameTexts) {
    std::string stream = "<invoke name='a'/>" + kNul + kNul + "second" + kNul + "third, unfinished";
    Texts expected{"<invoke name='a'/>", "", "second"};

    MessageFramer whole;
    EXPECT_EQ(FeedAll(whole, {stream}), expected);

    MessageFramer bytes;
    std::vector<std::string> single;
    for (char c : stream) single.emplace_back(1, c);
    EXPECT_EQ(FeedAll(bytes, single), expected);

    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        MessageFramer framer;
        EXPECT_EQ(FeedAll(framer, {stream.substr(0, cut), stream.substr(cut)}), expected) << cut;
        EXPECT_EQ(framer.carry_over_size(), 17u);
    }
    for (std::size_t chunk = 2; chunk < 8; ++chunk) {
        MessageFramer framer;
        std::vector<std::string> reads;
        for (std::size_t at = 0; at < stream.size(); at += chunk) reads.push_back(stream.substr(at, chunk));
        EXPECT_EQ(FeedAll(framer, reads), expected) << chunk;
    }
}

TEST(MessageFramer, OversizedTextIsDroppedOnceAndWhatFollowsIsKept) {
    MessageFramer framer(16);
    int oversized = 0;
    Texts texts = FeedAll(framer, {std::string(16, 'a') + kNul, std::string(10, 'b'), std::string(10, 'b'),
                                   std::string(1000, 'b') + kNul + "next" + kNul},
                          &oversized);
    // 16 bytes is the limit, still fine; the dropped text leaves its marker.
    EXPECT_EQ(texts, (Texts{std::string(16, 'a'), OversizedMarker(), "next"}));
    EXPECT_EQ(oversized, 1);
    EXPECT_EQ(framer.carry_over_size(), 0u);
    // A text crossing the limit inside a single read is dropped as well.
    texts = FeedAll(framer, {std::string(40, 'c') + kNul + "ok" + kNul}, &oversized);
    EXPECT_EQ(texts, (Texts{OversizedMarker(), "ok"}));
    EXPECT_EQ(oversized, 1);
}

// A text grown over many reads is handed on in a buffer that fits it, not in
// the one grown by doubling (up to twice its length).
TEST(MessageFramer, TextGrownAcrossReadsIsHandedOnRightSized) {
    MessageFramer framer;
    std::string chunk(1000, 'x');
    Texts batch;
    for (int i = 0; i < 100; ++i) framer.Feed(chunk.data(), chunk.size(), batch);
    framer.Feed(kNul.data(), 1, batch);
    ASSERT_EQ(batch.size(), 1u);
    EXPECT_EQ(batch[0].size(), 100000u);
    EXPECT_LE(batch[0].capacity(), 100000u + 100000u / 8 + 256u);
}

// The largest message a server sends, a frame of 100 points, takes about
// 36 KB. A text many times that size is dropped before it is parsed: reading
// it would hold the dispatch thread, and the frames behind it, for tens of
// milliseconds.
TEST(MessageFramer, DropsTextsManyTimesTheLargestFrameUnread) {
    constexpr std::size_t kLargestFrame = 36 << 10;
    MessageFramer framer;
    Texts texts = FeedAll(framer, {std::string(kLargestFrame, 'f') + kNul + std::string(8 * kLargestFrame, 'x') + kNul});
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].size(), kLargestFrame);
    EXPECT_EQ(texts[1], OversizedMarker());
}

TEST(MessageFramer, DefaultBoundIsMaxMessageBytes) {
    MessageFramer framer;
    std::string chunk(1023, 'x');
    int oversized = 0;
    Texts batch;
    std::size_t fed = 0;
    while (fed <= kMaxMessageBytes) {
        oversized += framer.Feed(chunk.data(), chunk.size(), batch);
        fed += chunk.size();
    }
    EXPECT_EQ(oversized, 1);
    EXPECT_EQ(framer.carry_over_size(), 0u);  // the memory is given back at once
    oversized = framer.Feed(chunk.data(), chunk.size(), batch);
    EXPECT_EQ(oversized, 0);  // reported once, not per read
    EXPECT_EQ(batch, Texts{OversizedMarker()});
}

}  // namespace
}  // namespace vornmt::transport
