// Loopback measurements through the exported API, one line or table each:
// - latency of 10-point frames at 200 frames/s, from the server's send to the
//   application's callback, and to an application thread taking the frame
//   from the event queue (WaitEvent), beside the floor (a plain socket reader
//   timed the same way in the same run) and the latency the library adds; in
//   a build with -DVORNMT_STAGE_TIMESTAMPS=ON also where the callback's time
//   goes, stage by stage;
// - the most frames per second one client takes through the callback and
//   through the event queue, checked complete and in order, and the client's
//   CPU time per frame;
// - wake-ups of an idle connection, without and with the event queue open
//   and a thread waiting in it, and how long DisconnectServer takes.
// scripts/bench-latency builds it and runs it; the figures depend on the
// machine, so compare runs made on one machine.
#include <VornMTClient.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>

#include "bench_messages.h"
#include "platform/send_all.h"
#include "platform/server_sockets.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "instrumentation/stage_clock.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace platform = vornmt::platform;
namespace instrumentation = vornmt::instrumentation;
using instrumentation::Stage;

constexpr int kLatencyFrames = 2000;
constexpr auto kLatencyInterval = std::chrono::milliseconds(5);  // 200 frames/s

std::int64_t Nanos(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// Minimal server: one client at a time, sends what it is given.
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
    void Send(const std::string& bytes) { platform::SendAll(client_, bytes.data(), bytes.size()); }
    // Sends the latency run's frames at their pace; returns when each was sent.
    std::vector<std::int64_t> SendPaced() {
        std::vector<std::string> texts;
        for (int i = 0; i < kLatencyFrames; ++i) texts.push_back(vornmt::bench::FrameMessage(i, 10) + '\0');
        std::vector<std::int64_t> sent(kLatencyFrames);
        auto next = Clock::now() + std::chrono::milliseconds(50);
        for (int i = 0; i < kLatencyFrames; ++i) {
            std::this_thread::sleep_until(next);
            sent[static_cast<std::size_t>(i)] = Nanos(Clock::now());
            Send(texts[static_cast<std::size_t>(i)]);
            next += kLatencyInterval;
        }
        return sent;
    }

private:
    platform::SocketHandle listener_ = platform::kInvalidSocket;
    platform::SocketHandle client_ = platform::kInvalidSocket;
    std::uint16_t port_ = 0;
};

struct Percentiles {
    double p50, p99, max;
};

Percentiles Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[values.size() * 99 / 100], values.back()};
}

// The floor: a plain blocking reader that cuts the stream at NUL bytes, as
// cheaply as a client can. Its latency is the kernel's and the scheduler's.
std::vector<double> MeasureFloor(Server& server) {
    std::vector<std::int64_t> received(kLatencyFrames);
    int error = 0;
    platform::SocketHandle socket = platform::OpenTcpSocket(&error);
    platform::ConnectIpv4(socket, "127.0.0.1", server.port());
    server.Accept();
    std::thread reader([&] {
        std::vector<char> buffer(1 << 16);
        int complete = 0;
        while (complete < kLatencyFrames) {
            int read_error = 0;
            long n = platform::Receive(socket, buffer.data(), buffer.size(), &read_error);
            if (n <= 0) break;
            for (long i = 0; i < n; ++i)
                if (buffer[static_cast<std::size_t>(i)] == '\0') received[static_cast<std::size_t>(complete++)] = Nanos(Clock::now());
        }
    });
    std::vector<std::int64_t> sent = server.SendPaced();
    reader.join();
    platform::CloseSocket(socket);
    std::vector<double> latency;
    for (int i = 0; i < kLatencyFrames; ++i)
        latency.push_back((received[static_cast<std::size_t>(i)] - sent[static_cast<std::size_t>(i)]) / 1000.0);
    return latency;
}

// What the library's latency run records per frame: the callback's time and
// the stage marks of the frame (all written before its callback).
struct StageRecord {
    std::int64_t stages[static_cast<int>(Stage::kCount)];
    std::int64_t delivered;
};

struct LatencyRun {
    std::vector<StageRecord> records = std::vector<StageRecord>(kLatencyFrames);
    std::atomic<int> count{0};
};

void RecordLatencyFrame(int32_t sequence, int32_t, int32_t, const Vorn_SDK_MultiTouch::TouchPoint*, void* user_data) {
    auto* run = static_cast<LatencyRun*>(user_data);
    if (sequence >= 0 && sequence < kLatencyFrames) {
        StageRecord& record = run->records[static_cast<std::size_t>(sequence)];
        record.delivered = Nanos(Clock::now());
        for (int s = 0; s < static_cast<int>(Stage::kCount); ++s) {
            record.stages[s] = instrumentation::StageTime(static_cast<Stage>(s));
        }
    }
    run->count.fetch_add(1, std::memory_order_release);
}

bool WaitForCount(const std::atomic<int>& count, int wanted, std::chrono::seconds limit) {
    auto deadline = Clock::now() + limit;
    while (count.load(std::memory_order_acquire) < wanted) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void PrintRow(const char* what, const Percentiles& p) {
    std::printf("  %-44s %8.1f %8.1f %8.1f\n", what, p.p50, p.p99, p.max);
}

// Takes frames from the event queue on a thread of its own, as an
// application's loop does, until `expected` have come or the queue is
// closed. `on_frame` runs on that thread for each frame.
template <typename OnFrame>
std::thread StartQueueReader(int expected, std::atomic<int>& count, OnFrame on_frame) {
    return std::thread([expected, &count, on_frame] {
        Vorn_SDK_MultiTouch::TouchEvent event;
        while (count.load(std::memory_order_relaxed) < expected &&
               WaitEvent(&event, -1) == Vorn_SDK_MultiTouch::ERR_NONE) {
            if (event.kind != Vorn_SDK_MultiTouch::EVENT_FRAME) continue;
            on_frame(event);
            count.fetch_add(1, std::memory_order_release);
        }
    });
}

// The latency run through the event queue: the time each frame reaches a
// thread waiting in WaitEvent. Empty when frames were missing.
std::vector<double> MeasureQueueLatency(Server& server) {
    std::vector<std::int64_t> taken(kLatencyFrames);
    std::atomic<int> count{0};
    OpenEventQueue(0);
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::thread reader = StartQueueReader(kLatencyFrames, count, [&taken](const Vorn_SDK_MultiTouch::TouchEvent& event) {
        if (event.value_0 >= 0 && event.value_0 < kLatencyFrames) taken[static_cast<std::size_t>(event.value_0)] = Nanos(Clock::now());
    });
    std::vector<std::int64_t> sent = server.SendPaced();
    bool complete = WaitForCount(count, kLatencyFrames, std::chrono::seconds(30));
    DisconnectServer();
    CloseEventQueue();  // wakes the reader should frames be missing
    reader.join();
    std::vector<double> latency;
    if (!complete) {
        std::printf("latency through the queue: only %d of %d frames arrived\n", count.load(), kLatencyFrames);
        return latency;
    }
    for (int i = 0; i < kLatencyFrames; ++i)
        latency.push_back((taken[static_cast<std::size_t>(i)] - sent[static_cast<std::size_t>(i)]) / 1000.0);
    return latency;
}

void MeasureLatency(Server& server) {
    std::vector<double> floor = MeasureFloor(server);

    LatencyRun run;
    SetOnReceivePointFrame(RecordLatencyFrame, &run);
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::vector<std::int64_t> sent = server.SendPaced();
    bool complete = WaitForCount(run.count, kLatencyFrames, std::chrono::seconds(30));
    DisconnectServer();
    SetOnReceivePointFrame(nullptr, nullptr);
    if (!complete) {
        std::printf("latency: only %d of %d frames arrived\n", run.count.load(), kLatencyFrames);
        return;
    }

    std::vector<double> library;
    for (int i = 0; i < kLatencyFrames; ++i)
        library.push_back((run.records[static_cast<std::size_t>(i)].delivered - sent[static_cast<std::size_t>(i)]) / 1000.0);
    std::vector<double> queued = MeasureQueueLatency(server);
    Percentiles floor_p = Summarise(floor);
    Percentiles library_p = Summarise(library);
    std::printf("latency, 10-point frames (%zu bytes) at 200/s, %d frames, microseconds:\n",
                vornmt::bench::FrameMessage(0, 10).size() + 1, kLatencyFrames);
    std::printf("  %-44s %8s %8s %8s\n", "", "p50", "p99", "max");
    PrintRow("floor: plain socket reader", floor_p);
    PrintRow("library: send to callback", library_p);
    std::printf("  %-44s %8.1f %8.1f\n", "added by the library", library_p.p50 - floor_p.p50, library_p.p99 - floor_p.p99);
    if (!queued.empty()) {
        Percentiles queued_p = Summarise(queued);
        PrintRow("library: send to WaitEvent on another thread", queued_p);
        std::printf("  %-44s %8.1f %8.1f\n", "added by the library through the queue", queued_p.p50 - floor_p.p50,
                    queued_p.p99 - floor_p.p99);
    }

    if (!instrumentation::kStageTimestamps) {
        std::printf("  (stages: build with -DVORNMT_STAGE_TIMESTAMPS=ON, or run scripts/bench-latency)\n");
        return;
    }
    struct Row {
        const char* name;
        int from;  // -1: the server's send
        int to;    // kCount: the callback
    };
    const int kSent = -1;
    const int kCallback = static_cast<int>(Stage::kCount);
    const Row rows[] = {
        {"sent -> socket readable", kSent, static_cast<int>(Stage::kReadable)},
        {"readable -> whole text read", static_cast<int>(Stage::kReadable), static_cast<int>(Stage::kRead)},
        {"framing", static_cast<int>(Stage::kRead), static_cast<int>(Stage::kFramed)},
        {"queue append and notify", static_cast<int>(Stage::kFramed), static_cast<int>(Stage::kQueued)},
        {"dispatch thread wakes", static_cast<int>(Stage::kQueued), static_cast<int>(Stage::kWoke)},
        {"read (pre-scan, TinyXML, values)", static_cast<int>(Stage::kWoke), static_cast<int>(Stage::kParsed)},
        {"decode", static_cast<int>(Stage::kParsed), static_cast<int>(Stage::kDecoded)},
        {"deliver (callback called)", static_cast<int>(Stage::kDecoded), kCallback},
    };
    std::printf("  stages (each frame's own marks):\n");
    for (const Row& row : rows) {
        std::vector<double> values;
        for (int i = 0; i < kLatencyFrames; ++i) {
            const StageRecord& record = run.records[static_cast<std::size_t>(i)];
            std::int64_t from = row.from == kSent ? sent[static_cast<std::size_t>(i)] : record.stages[row.from];
            std::int64_t to = row.to == kCallback ? record.delivered : record.stages[row.to];
            values.push_back((to - from) / 1000.0);
        }
        PrintRow(row.name, Summarise(values));
    }
}

// CPU time of the whole process and of the calling thread, in microseconds.
double ProcessCpuMicros() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

double ThreadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

constexpr int kDistinctFrames = 1000;

struct ThroughputRun {
    std::atomic<int> count{0};
    int expected_sequence = 0;  // dispatch thread only
    std::atomic<int> out_of_order{0};
};

void CountInOrder(int32_t sequence, int32_t, int32_t, const Vorn_SDK_MultiTouch::TouchPoint*, void* user_data) {
    auto* run = static_cast<ThroughputRun*>(user_data);
    if (sequence != run->expected_sequence) run->out_of_order.fetch_add(1, std::memory_order_relaxed);
    run->expected_sequence = (sequence + 1) % kDistinctFrames;
    run->count.fetch_add(1, std::memory_order_release);
}

// Through the callback, or through the event queue (default capacity) to a
// thread of the application's. Returns the frames per second.
double MeasureThroughput(Server& server, int points, bool through_queue) {
    constexpr int kFrames = 100000;
    std::vector<std::string> frames;
    for (int i = 0; i < kDistinctFrames; ++i) frames.push_back(vornmt::bench::FrameMessage(i, points) + '\0');
    ThroughputRun run;
    std::thread reader;
    if (through_queue) {
        OpenEventQueue(0);
        reader = StartQueueReader(kFrames, run.count, [&run](const Vorn_SDK_MultiTouch::TouchEvent& event) {
            if (event.value_0 != run.expected_sequence) run.out_of_order.fetch_add(1, std::memory_order_relaxed);
            run.expected_sequence = (event.value_0 + 1) % kDistinctFrames;
        });
    } else {
        SetOnReceivePointFrame(CountInOrder, &run);
    }
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::string chunk;
    const double process_before = ProcessCpuMicros();
    const double sender_before = ThreadCpuMicros();
    auto start = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
        chunk += frames[static_cast<std::size_t>(i % kDistinctFrames)];
        if (chunk.size() > 65536) {
            server.Send(chunk);
            chunk.clear();
        }
    }
    server.Send(chunk);
    const double sender_cpu = ThreadCpuMicros() - sender_before;
    bool complete = WaitForCount(run.count, kFrames, std::chrono::seconds(120));
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The client's share: the whole process but the sending thread.
    const double client_cpu = ProcessCpuMicros() - process_before - sender_cpu;
    DisconnectServer();
    SetOnReceivePointFrame(nullptr, nullptr);
    if (through_queue) {
        CloseEventQueue();
        reader.join();
    }
    std::printf("sustained, %d-point frames (%zu bytes each), %s: %.0f frames/s (%.1f MB/s), %s, %d out of order; "
                "client CPU %.1f us per frame\n",
                points, frames[0].size(), through_queue ? "event queue" : "callback", run.count.load() / seconds,
                run.count.load() * frames[0].size() / seconds / 1e6, complete ? "all arrived" : "SOME LOST",
                run.out_of_order.load(), client_cpu / kFrames);
    return complete && run.out_of_order.load() == 0 ? run.count.load() / seconds : 0;
}

// The two paths in turn, three times each, so that a machine busy with
// other work slows both alike; the medians compared.
void CompareThroughput(Server& server, int points) {
    std::vector<double> rates[2];
    for (int round = 0; round < 3; ++round) {
        for (bool through_queue : {false, true}) rates[through_queue].push_back(MeasureThroughput(server, points, through_queue));
    }
    for (auto& r : rates) std::sort(r.begin(), r.end());
    std::printf("sustained, %d-point frames, medians: callback %.0f frames/s, event queue %.0f frames/s (%.2fx)\n", points,
                rates[0][1], rates[1][1], rates[1][1] / rates[0][1]);
}

// Context switches of every thread of the process, voluntary or not.
long ContextSwitches() {
    long total = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    closedir(tasks);
    return total;
}

void MeasureIdleAndDisconnect(Server& server) {
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    long before = ContextSwitches();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    long after = ContextSwitches();
    DisconnectServer();
    // The main thread's own sleep accounts for one switch.
    std::printf("idle connection: %ld wake-ups of the library's threads in 2 s\n", after - before - 1);

    // The same with the event queue open and an application thread waiting
    // in WaitEvent, whose every return is a wake-up.
    OpenEventQueue(0);
    std::atomic<bool> quit{false};
    std::atomic<long> waits_returned{0};
    std::thread waiter([&] {
        Vorn_SDK_MultiTouch::TouchEvent event;
        while (!quit.load()) {
            WaitEvent(&event, -1);
            if (!quit.load()) waits_returned.fetch_add(1);
        }
    });
    ConnectServer("127.0.0.1", server.port());
    server.Accept();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    before = ContextSwitches();
    long returned_before = waits_returned.load();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    after = ContextSwitches();
    long returned = waits_returned.load() - returned_before;
    DisconnectServer();
    quit = true;
    CloseEventQueue();
    waiter.join();
    std::printf("idle connection, event queue open, a thread in WaitEvent: %ld wake-ups of the library's and the "
                "waiting thread in 2 s, %ld waits returned\n",
                after - before - 1, returned);

    std::vector<double> took;
    for (int i = 0; i < 50; ++i) {
        ConnectServer("127.0.0.1", server.port());
        server.Accept();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // threads idle in their waits
        auto start = Clock::now();
        DisconnectServer();
        took.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(took.begin(), took.end());
    std::printf("DisconnectServer while idle (%zu runs): median %.1f us, max %.1f us\n", took.size(),
                took[took.size() / 2], took.back());
}

}  // namespace

int main() {
    std::printf("loopback benchmark: %u hardware threads, stage timestamps %s\n", std::thread::hardware_concurrency(),
                instrumentation::kStageTimestamps ? "on" : "off");
    Server server;
    MeasureLatency(server);
    CompareThroughput(server, 10);
    CompareThroughput(server, 1);
    MeasureIdleAndDisconnect(server);
    return 0;
}
