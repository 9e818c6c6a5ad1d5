// An application that outlives its touch server: the library connects again
// by itself after a restart, and the application forgets the touches it held
// when the connection broke, since every one of them ended there.
//   survive_restart [PORT [SECONDS]]   (default 7100, 60 s)
// Try it: start vornmt-sim, start this, stop the simulator (Ctrl-C), start it
// again: the program says so and frames follow again.
#include <VornMTClient.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace Vorn_SDK_MultiTouch;

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 7100;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;

    std::setvbuf(stdout, nullptr, _IONBF, 0);  // each line shows at once, also in a pipe
    SetAutoReconnect(100, 2000);  // wait 0.1 s, then 0.2 s, 0.4 s, ... at most 2 s between attempts
    OpenEventQueue(0);
    int32_t status = ConnectServer("127.0.0.1", port);
    if (status == ERR_NOT_YET_CONNECTED) {
        std::printf("no server on port %d yet; the library keeps trying\n", port);
    } else if (status != ERR_NONE) {
        std::fprintf(stderr, "cannot connect: %s (%d)\n", GetStatusText(status), status);
        return 1;
    } else {
        std::printf("connected\n");
    }
    // Sent now, or kept and sent on the connection that comes: either way,
    // the library sends it again on every new connection.
    TouchClientRequest request{};
    request.type = 1;
    SendRequest(request);

    int held = 0;  // the touches of the last frame
    int frames = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    TouchEvent event;
    while (std::chrono::steady_clock::now() < end) {
        if (WaitEvent(&event, 100) != ERR_NONE) continue;  // ERR_NO_EVENT: nothing within 0.1 s
        switch (event.kind) {
        case EVENT_FRAME:
            held = event.point_count;
            if (frames++ % 100 == 0) std::printf("frame %d: %d touches held\n", frames, held);
            break;
        case EVENT_SERVER_BREAK:
            std::printf("server lost: %d touches released; reconnecting\n", held);
            held = 0;
            break;
        case EVENT_CONNECTED:
            std::printf("connected by the library\n");
            break;
        case EVENT_ERROR:
            std::printf("error: %s (%d)\n", GetStatusText(event.value_0), event.value_0);
            break;
        }
    }
    DisconnectServer();
    CloseEventQueue();
    std::printf("%d frames\n", frames);
    return 0;
}
