// Throughput of the receiving path without sockets: framing a stream of
// frames, parsing one, and routing one to a callback.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_messages.h"
#include "client/callback_registry.h"
#include "message/invoke.h"
#include "transport/message_framer.h"
#include "transport/route_message.h"

namespace {

using namespace vornmt;

void CountFrame(int32_t, int32_t, int32_t count, const Vorn_SDK_MultiTouch::TouchPoint*, void* user_data) {
    *static_cast<int*>(user_data) += count;
}

void BM_FrameStream(benchmark::State& state) {
    std::string stream;
    for (int i = 0; i < 100; ++i) stream += bench::FrameMessage(i, 10) + std::string(1, '\0');
    std::vector<std::string> batch;
    transport::MessageFramer framer;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += transport::kReadChunkBytes) {
            std::size_t n = std::min(transport::kReadChunkBytes, stream.size() - at);
            framer.Feed(stream.data() + at, n, batch);
        }
        benchmark::DoNotOptimize(batch.data());
        batch.clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_FrameStream);

void BM_ParseFrame(benchmark::State& state) {
    std::string text = bench::FrameMessage(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        message::InvokeMessage parsed;
        benchmark::DoNotOptimize(message::ParseInvoke(text, parsed));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseFrame)->Arg(1)->Arg(10)->Arg(100);

void BM_RouteFrame(benchmark::State& state) {
    std::string text = bench::FrameMessage(1, static_cast<int>(state.range(0)));
    client::CallbackRegistry registry;
    transport::PointBuffer points;
    int delivered = 0;
    registry.SetPointFrame(CountFrame, &delivered);
    for (auto _ : state) transport::RouteMessage(text, registry, points);
    state.SetItemsProcessed(state.iterations());
    state.counters["points"] = delivered;
}
BENCHMARK(BM_RouteFrame)->Arg(1)->Arg(10)->Arg(100);

}  // namespace
