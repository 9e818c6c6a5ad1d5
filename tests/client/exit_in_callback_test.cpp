// A process whose frame callback calls exit(0) while its main thread
// disconnects: the library's unload teardown then runs on the dispatch
// thread, while the main thread waits for that thread. The process must end
// with status 0. A watchdog ends it with status 3 if it hangs, or 4 if no
// frame ever arrived.
#include <VornMTClient.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/send_all.h"
#include "platform/server_sockets.h"
#include "platform/sockets.h"

namespace {

namespace platform = vornmt::platform;

constexpr int kHangStatus = 3;
constexpr int kNoFrameStatus = 4;
constexpr auto kDeadline = std::chrono::seconds(30);

std::mutex mutex;
std::condition_variable frame_arrived;
std::atomic<bool> frame_seen{false};

// Tells the main thread that a frame is being delivered, then exits once the
// main thread has begun its teardown, which refuses requests: the main thread
// then holds the connection's lifecycle lock until this thread has ended.
void ExitFromCallback(int32_t, int32_t, int32_t, const Vorn_SDK_MultiTouch::TouchPoint*, void*) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        frame_seen = true;
    }
    frame_arrived.notify_all();
    while (SendThreshold(0) == 0) {
    }
    std::exit(0);
}

// Sends frames to the one client until it goes.
void ServeFrames(platform::SocketHandle listener) {
    const std::string frame =
        "<invoke name='frame' returntype=\"xml\"><arguments><number>0</number><number>0</number><null/>"
        "</arguments></invoke>" +
        std::string(1, '\0');
    int error = 0;
    platform::SocketHandle client = platform::AcceptClient(listener, &error);
    if (client == platform::kInvalidSocket) return;
    while (platform::SendAll(client, frame.data(), frame.size()) == 0) {
    }
}

}  // namespace

int main() {
    // Detached: nothing may wait for these threads at exit.
    std::thread([] {
        std::this_thread::sleep_for(kDeadline);
        std::_Exit(frame_seen.load() ? kHangStatus : kNoFrameStatus);
    }).detach();
    if (platform::StartSocketLayer() != 0) return 1;
    int error = 0;
    std::uint16_t port = 0;
    platform::SocketHandle listener = platform::ListenLoopback(0, &port, &error);
    if (listener == platform::kInvalidSocket) return 1;
    std::thread(ServeFrames, listener).detach();

    SetOnReceivePointFrame(ExitFromCallback, nullptr);
    if (ConnectServer("127.0.0.1", port) != 0) return 1;
    // However slow the machine, the callback is inside once this wait ends,
    // and stays there until the disconnect below has begun.
    {
        std::unique_lock<std::mutex> lock(mutex);
        frame_arrived.wait(lock, [] { return frame_seen.load(); });
    }
    DisconnectServer();
    return 5;  // the callback's exit must end the process first
}
