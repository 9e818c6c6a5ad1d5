// Counts the frames a server sends until it closes, through the shared
// library's C API, and prints the rate: the C++ figure beside the C# and
// Python bindings' (bench/bindings/). Usage: vornmt_frame_rate_client PORT
#include <VornMTClient.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

std::atomic<long> frames{0};
std::atomic<bool> lost{false};
std::atomic<Clock::rep> first_at{0};

void CountFrame(int32_t, int32_t, int32_t, const Vorn_SDK_MultiTouch::TouchPoint*, void*) {
    if (frames.fetch_add(1, std::memory_order_relaxed) == 0) first_at = Clock::now().time_since_epoch().count();
}

void Lost(void*, void*) { lost = true; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vornmt_frame_rate_client PORT\n");
        return 2;
    }
    SetOnReceivePointFrame(CountFrame, nullptr);
    SetOnServerBreak(Lost, nullptr);
    if (int32_t status = ConnectServer("127.0.0.1", std::atoi(argv[1]))) {
        std::fprintf(stderr, "cannot connect: %d\n", status);
        return 1;
    }
    while (!lost) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The break is reported after every frame before it has been delivered.
    const double seconds =
        std::chrono::duration<double>(Clock::now().time_since_epoch() - Clock::duration(first_at.load())).count();
    DisconnectServer();
    std::printf("C++ handler: %ld frames in %.2f s: %.0f frames/s\n", frames.load(), seconds, frames / seconds);
    return 0;
}
