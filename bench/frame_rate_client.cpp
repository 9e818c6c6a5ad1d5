// Counts the frames a server sends until it closes, through the shared
// library's C API, and prints the rate: the C++ figures beside the C# and
// Python bindings' (bench/bindings/). Usage: vornmt_frame_rate_client PORT [queue]
// counts in a callback, or with "queue" takes them from the event queue on
// the main thread (WaitEvent), the path the bindings' streams take.
#include <VornMTClient.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
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

int ThroughQueue(int port) {
    if (int32_t status = OpenEventQueue(0)) {
        std::fprintf(stderr, "cannot open the event queue: %d\n", status);
        return 1;
    }
    if (int32_t status = ConnectServer("127.0.0.1", port)) {
        std::fprintf(stderr, "cannot connect: %d\n", status);
        return 1;
    }
    static Vorn_SDK_MultiTouch::TouchEvent event;  // 1808 bytes, taken into again and again
    long count = 0;
    Clock::time_point first;
    while (WaitEvent(&event, -1) == Vorn_SDK_MultiTouch::ERR_NONE && event.kind != Vorn_SDK_MultiTouch::EVENT_SERVER_BREAK) {
        if (event.kind != Vorn_SDK_MultiTouch::EVENT_FRAME) continue;
        if (count++ == 0) first = Clock::now();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    DisconnectServer();
    CloseEventQueue();
    std::printf("C++ queue: %ld frames in %.2f s: %.0f frames/s\n", count, seconds, count / seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vornmt_frame_rate_client PORT [queue]\n");
        return 2;
    }
    if (argc > 2 && std::string(argv[2]) == "queue") return ThroughQueue(std::atoi(argv[1]));
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
