// Loopback measurements through the exported API: wire-to-callback latency of
// 10-point frames at 200 frames/s, the most frames per second one client
// sustains, and how long DisconnectServer takes. Prints one line per figure.
#include <VornMTClient.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_messages.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace platform = vornmt::platform;

// Minimal server: one client, sends what it is given.
class Server {
public:
    Server() {
        platform::StartSocketLayer();
        int error = 0;
        listener_ = platform::ListenLoopback(0, &port_, &error);
    }
    ~Server() {
        if (client_ != platform::kInvalidSocket) platform::CloseSocket(client_);
        platform::CloseSocket(listener_);
        platform::CleanupSocketLayer();
    }
    std::uint16_t port() const { return port_; }
    void Accept() {
        int error = 0;
        if (client_ != platform::kInvalidSocket) platform::CloseSocket(client_);
        client_ = platform::AcceptClient(listener_, &error);
        platform::SetNoDelay(client_);
    }
    void Send(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            int error = 0;
            long n = platform::Send(client_, bytes.data() + sent, bytes.size() - sent, &error);
            if (n < 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }

private:
    platform::SocketHandle listener_ = platform::kInvalidSocket;
    platform::SocketHandle client_ = platform::kInvalidSocket;
    std::uint16_t port_ = 0;
};

struct Timing {
    std::vector<Clock::time_point> sent;
    std::vector<Clock::time_point> received;
    std::atomic<int> count{0};
};

void RecordFrame(int32_t sequence, int32_t, int32_t, const Vorn_SDK_MultiTouch::TouchPoint*, void* user_data) {
    auto* timing = static_cast<Timing*>(user_data);
    if (sequence >= 0 && static_cast<std::size_t>(sequence) < timing->received.size())
        timing->received[static_cast<std::size_t>(sequence)] = Clock::now();
    timing->count.fetch_add(1, std::memory_order_release);
}

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void WaitForCount(Timing& timing, int count) {
    while (timing.count.load(std::memory_order_acquire) < count) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

void MeasureLatency(Server& server) {
    constexpr int kFrames = 2000;
    Timing timing;
    timing.sent.resize(kFrames);
    timing.received.resize(kFrames);
    SetOnReceivePointFrame(RecordFrame, &timing);
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::string nul(1, '\0');
    auto next = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
        std::string text = vornmt::bench::FrameMessage(i, 10) + nul;
        std::this_thread::sleep_until(next);
        timing.sent[static_cast<std::size_t>(i)] = Clock::now();
        server.Send(text);
        next += std::chrono::milliseconds(5);  // 200 frames/s
    }
    WaitForCount(timing, kFrames);
    DisconnectServer();
    std::vector<double> latency;
    for (int i = 0; i < kFrames; ++i)
        latency.push_back(Micros(timing.received[static_cast<std::size_t>(i)] - timing.sent[static_cast<std::size_t>(i)]));
    std::sort(latency.begin(), latency.end());
    std::printf("latency, 10-point frames at 200/s (%d frames): p50 %.1f us, p99 %.1f us, max %.1f us\n", kFrames,
                latency[kFrames / 2], latency[kFrames * 99 / 100], latency.back());
}

void MeasureThroughput(Server& server, int points) {
    constexpr int kFrames = 100000;
    Timing timing;
    SetOnReceivePointFrame(RecordFrame, &timing);
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::string chunk;
    std::string frame = vornmt::bench::FrameMessage(0, points) + std::string(1, '\0');
    auto start = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
        chunk += frame;
        if (chunk.size() > 65536) {
            server.Send(chunk);
            chunk.clear();
        }
    }
    server.Send(chunk);
    WaitForCount(timing, kFrames);
    double seconds = Micros(Clock::now() - start) / 1e6;
    DisconnectServer();
    std::printf("sustained, %d-point frames (%zu bytes each): %.0f frames/s (%.1f MB/s)\n", points, frame.size(),
                kFrames / seconds, kFrames * frame.size() / seconds / 1e6);
}

void MeasureDisconnect(Server& server) {
    std::vector<double> took;
    for (int i = 0; i < 50; ++i) {
        ConnectServer("127.0.0.1", server.port());
        server.Accept();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // threads idle in their waits
        auto start = Clock::now();
        DisconnectServer();
        took.push_back(Micros(Clock::now() - start));
    }
    std::sort(took.begin(), took.end());
    std::printf("DisconnectServer while idle (%zu runs): median %.1f us, max %.1f us\n", took.size(),
                took[took.size() / 2], took.back());
}

}  // namespace

int main() {
    unsigned cores = std::thread::hardware_concurrency();
    std::printf("loopback benchmark: %u hardware threads\n", cores);
    Server server;
    MeasureLatency(server);
    MeasureThroughput(server, 10);
    MeasureThroughput(server, 1);
    MeasureDisconnect(server);
    SetOnReceivePointFrame(nullptr, nullptr);
    return 0;
}
