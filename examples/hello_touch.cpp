// The smallest useful VornMTClient application: connects to a touch server,
// subscribes, prints the screen size, every gesture and now and then a frame,
// and disconnects after a while. Without touch hardware, start the simulator
// first (vornmt-sim listens on 127.0.0.1:7100), then: hello_touch [PORT [SECONDS]]
#include <VornMTClient.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace Vorn_SDK_MultiTouch;

static std::atomic<int> frame_count{0};

// Callbacks run on the library's own threads: keep them short, and copy what
// you want to keep, since the pointers are valid only during the call.
static void OnFrame(int32_t, int32_t, int32_t count, const TouchPoint* points, void*) {
    if (frame_count++ % 20 == 0 && count > 0) {
        std::printf("frame: %d point(s), the first at (%d, %d)\n", count, points[0].x, points[0].y);
    }
}
static void OnGesture(const TouchGesture* gesture, void*) { std::printf("gesture: %s\n", GetGestureName(gesture)); }
static void OnResolution(int32_t x, int32_t y, void*) { std::printf("screen: %d x %d\n", x, y); }
static void OnServerBreak(void*, void*) { std::printf("the server went away\n"); }

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 7100;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;

    SetOnReceivePointFrame(OnFrame, nullptr);  // register before connecting, so nothing is missed
    SetOnReceiveGesture(OnGesture, nullptr);
    SetOnServerBreak(OnServerBreak, nullptr);
    if (int32_t status = ConnectServer("127.0.0.1", port)) {
        std::fprintf(stderr, "cannot connect to 127.0.0.1:%d: %s (%d)\n", port, GetStatusText(status), status);
        return 1;
    }
    TouchClientRequest request{};  // what to subscribe to; its meaning is the server's
    request.type = 1;
    SendRequest(request);
    GetServerResolution(OnResolution, nullptr);  // the answer arrives at OnResolution

    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    DisconnectServer();  // waits for a running callback, then no more calls
    std::printf("%d frames received\n", frame_count.load());
    return 0;
}
