// Sends each client that connects a fixed number of touch frames as fast as
// it reads them, then closes: the counterpart of the frame rate clients (C++,
// C#, Python) that measure how many frames per second reach a handler.
//   vornmt_frame_flood_server [FRAMES [POINTS [CLIENTS]]]   (defaults 200000 10 1)
// Prints "listening on 127.0.0.1:PORT" first; port 0 picks a free one.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_messages.h"
#include "platform/send_all.h"
#include "platform/server_sockets.h"
#include "platform/sockets.h"

namespace platform = vornmt::platform;

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int points = argc > 2 ? std::atoi(argv[2]) : 10;
    const int clients = argc > 3 ? std::atoi(argv[3]) : 1;
    platform::StartSocketLayer();
    int error = 0;
    std::uint16_t port = 0;
    platform::SocketHandle listener = platform::ListenLoopback(0, &port, &error);
    if (listener == platform::kInvalidSocket) {
        std::fprintf(stderr, "cannot listen: socket error %d\n", error);
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u, %d frames of %d points per client\n", port, frames, points);
    std::fflush(stdout);

    // Frames go out in chunks of about 64 KiB; their first number counts up.
    for (int served = 0; served < clients; ++served) {
        platform::SocketHandle client = platform::AcceptClient(listener, &error);
        if (client == platform::kInvalidSocket) continue;
        std::string chunk;
        bool open = true;
        for (int i = 0; i < frames && open; ++i) {
            chunk += vornmt::bench::FrameMessage(i, points);
            chunk.push_back('\0');
            if (chunk.size() < 65536 && i + 1 < frames) continue;
            open = platform::SendAll(client, chunk.data(), chunk.size()) == 0;
            chunk.clear();
        }
        platform::CloseSocket(client);
    }
    platform::CloseSocket(listener);
    platform::CleanupSocketLayer();
    return 0;
}
