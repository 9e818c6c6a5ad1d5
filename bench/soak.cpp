// Soak: a careless application and a hostile server, for a bounded time, with
// one line of figures at the end:
//   cycles      connect/disconnect cycles of the careless application
//   requests    requests its two request threads made meanwhile
//   misdirected bytes that reached a socket the application opened itself
//               right after each disconnect (requests sent on a stale handle)
//   peak        peak resident memory over the base, during the server floods
//   slowest     longest dispatch-thread time to handle or reject one message,
//               and which: the hostile messages (floods of markup nodes, long
//               strings, numbers and CDATA sections filling the size bound)
//               and the largest a server sends, a frame of 100 points
// Careless application: two threads send requests without pause while the
// main thread connects, disconnects and at once opens a socket of its own, and
// a third thread disconnects at random moments. Hostile server: floods of
// messages of empty elements, of comments, of attributes filling the size
// bound, texts just under it that arrive in small reads while the error
// callback is slow, one string, one number and one unterminated CDATA section
// filling the bound, and oversized texts. Every phase has a deadline: a hang ends the
// program with "hang in <phase>" and exit status 2.
//
// Usage: vornmt_soak [seconds] [--serial] [--each]
//   seconds   the whole run, half careless application, half floods (default 20)
//   --serial  no third thread disconnecting beside the main thread's cycles
//   --each    also one line per message timed: its size and time
// Linux only (peak memory from /proc/self/status).
#include <VornMTClient.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_messages.h"
#include "client/callback_registry.h"
#include "platform/send_all.h"
#include "platform/server_sockets.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "transport/limits.h"
#include "transport/point_buffer.h"
#include "transport/route_message.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace mt = Vorn_SDK_MultiTouch;
namespace platform = vornmt::platform;

// Resident and peak resident memory of the process, in KiB.
long StatusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::strlen(field), field) == 0) return std::atol(line.c_str() + std::strlen(field) + 1);
    }
    return -1;
}

// Ends the program if a phase outlives its deadline: a deadlock or a hang.
class Watchdog {
public:
    Watchdog(const char* phase, double seconds) : phase_(phase) {
        thread_ = std::thread([this, seconds] {
            auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
            while (!done_.load()) {
                if (Clock::now() > deadline) {
                    std::printf("hang in %s\n", phase_);
                    std::fflush(stdout);
                    std::_Exit(2);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }

private:
    const char* phase_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A loopback listener whose thread accepts one client after the other, reads
// everything each sends, counts it, and optionally sends a script first.
class Sink {
public:
    explicit Sink(const std::string* flood = nullptr) : flood_(flood) {
        int error = 0;
        stop_.Open();
        listener_ = platform::ListenLoopback(0, &port_, &error);
        thread_ = std::thread([this] { Run(); });
    }
    ~Sink() {
        done_ = true;
        stop_.Signal();
        thread_.join();
        platform::CloseSocket(listener_);
        stop_.Close();
    }
    std::uint16_t port() const { return port_; }
    long bytes() const { return bytes_.load(); }

private:
    void Run() {
        while (!done_.load()) {
            int error = 0;
            if (platform::WaitReadable(listener_, stop_, -1, &error) != platform::WaitResult::kReadable) continue;
            platform::SocketHandle client = platform::AcceptClient(listener_, &error);
            if (client == platform::kInvalidSocket) continue;
            if (flood_ != nullptr) {
                Flood(client);
            } else {
                Drain(client);
            }
            platform::CloseSocket(client);
        }
    }
    void Drain(platform::SocketHandle client) {
        char buffer[65536];
        int error = 0;
        while (!done_.load()) {
            if (platform::WaitReadable(client, stop_, -1, &error) != platform::WaitResult::kReadable) return;
            long n = platform::Receive(client, buffer, sizeof buffer, &error);
            if (n <= 0) return;
            bytes_ += n;
        }
    }
    void Flood(platform::SocketHandle client) {
        while (!done_.load()) {
            if (platform::SendAll(client, flood_->data(), flood_->size()) != 0) return;
        }
    }

    const std::string* flood_;
    platform::SocketHandle listener_ = platform::kInvalidSocket;
    platform::SocketWakeup stop_;
    std::uint16_t port_ = 0;
    std::atomic<bool> done_{false};
    std::atomic<long> bytes_{0};
    std::thread thread_;
};

struct Figures {
    long cycles = 0;
    std::atomic<long> requests{0};
    long misdirected = 0;
    long peak_kib = 0;
    double slowest_ms = 0;
    const char* slowest = "";
};

void CarelessApplication(double seconds, bool racing_disconnect, Figures& figures) {
    Watchdog watchdog("careless application", seconds + 30);
    Sink server;
    Sink own;  // where the application's own sockets lead
    std::atomic<bool> done{false};
    std::atomic<long> sent[2] = {{0}, {0}};
    auto requester = [&](int index) {
        mt::TouchClientRequest request{};
        while (!done.load()) {
            switch (sent[index] % 4) {
                case 0: SendRequest(request); break;
                case 1: SendThreshold(index); break;
                case 2: SetRawDataResolution(1920, 1080); break;
                default: GetServerResolution(nullptr, nullptr); break;
            }
            ++sent[index];
            ++figures.requests;
        }
    };
    std::thread first(requester, 0), second(requester, 1);
    std::thread disconnecter([&] {
        unsigned state = 12345;
        while (racing_disconnect && !done.load()) {
            state = state * 1103515245u + 12345u;
            std::this_thread::sleep_for(std::chrono::microseconds(state % 3000));
            DisconnectServer();
        }
    });
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        ConnectServer("127.0.0.1", server.port());
        DisconnectServer();
        int error = 0;
        platform::SocketHandle mine = platform::OpenTcpSocket(&error);
        platform::ConnectIpv4(mine, "127.0.0.1", own.port());
        // A request begun on the old handle has ended once its thread made two more.
        long seen[2] = {sent[0].load(), sent[1].load()};
        while (sent[0].load() < seen[0] + 2 || sent[1].load() < seen[1] + 2) std::this_thread::yield();
        platform::CloseSocket(mine);
        ++figures.cycles;
    }
    done = true;
    first.join();
    second.join();
    disconnecter.join();
    DisconnectServer();
    // The sink reads what reached the application's sockets before it stops.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    figures.misdirected = own.bytes();
}

std::string Invoke(const std::string& name, const std::string& arguments) {
    return "<invoke name='" + name + "' returntype=\"xml\"><arguments>" + arguments + "</arguments></invoke>";
}

// `unit` repeated between `before` and `after` until the message is just
// under the size bound.
std::string FilledInvoke(const std::string& unit, const std::string& name = "x", const std::string& before = "",
                         const std::string& after = "") {
    const std::size_t room =
        static_cast<std::size_t>(mt::MAX_MESSAGE_BYTES) - Invoke(name, before + after).size();
    std::string filling;
    filling.reserve(room);
    while (filling.size() + unit.size() <= room) filling += unit;
    return Invoke(name, before + filling + after);
}

struct Flood {
    const char* name;
    std::string message;
    bool slow_callback;  // also: most of the message is one text
};

std::vector<Flood> HostileFloods() {
    std::string long_text = "<string>" + std::string(static_cast<std::size_t>(mt::MAX_MESSAGE_BYTES) * 6 / 10, 'x') +
                            "</string>";
    return {
        {"empty elements", FilledInvoke("<a/>"), false},
        {"comments", FilledInvoke("<!---->"), false},
        {"attributes", FilledInvoke("<a b='' c='' d='' e='' f='' g='' h=''/>"), false},
        {"long texts, slow callback", Invoke("information", long_text), true},
        {"oversized", std::string(static_cast<std::size_t>(mt::MAX_MESSAGE_BYTES) * 3 / 2, 'x'), false},
        {"one long string", FilledInvoke("x", "information", "<number>1</number><number>2</number><string>",
                                         "</string>"), false},
        {"one long number", FilledInvoke("9", "frame", "<number>", "</number><number>0</number><null/>"), false},
        {"unterminated CDATA", FilledInvoke("x", "x", "<string><![CDATA["), false},
    };
}

std::atomic<bool> slow_errors{false};
std::atomic<long> errors_seen{0};

void OnError(int32_t, void*) {
    ++errors_seen;
    if (slow_errors.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void HostileServer(double seconds, const std::vector<Flood>& floods) {
    SetOnReceiveError(OnError, nullptr);
    for (const Flood& flood : floods) {
        Watchdog watchdog(flood.name, seconds + 30);
        std::string stream = flood.message + std::string(1, '\0');
        Sink server(&stream);
        slow_errors = flood.slow_callback;
        ConnectServer("127.0.0.1", server.port());
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        DisconnectServer();
        slow_errors = false;
    }
    SetOnReceiveError(nullptr, nullptr);
}

// The dispatch thread's work for one message, timed on this thread alone;
// oversized texts never reach it (the receive thread drops them). A message's
// time is the shortest of five runs: what the message costs, without the
// moments the machine gave to other work.
void MeasureHandling(const std::vector<Flood>& floods, bool each, Figures& figures) {
    vornmt::client::CallbackRegistry registry;
    vornmt::transport::PointBuffer points;
    std::vector<Flood> messages = floods;
    messages.push_back({"frame of 100 points", vornmt::bench::FrameMessage(1, 100), false});
    for (const Flood& message : messages) {
        if (message.message.size() > static_cast<std::size_t>(mt::MAX_MESSAGE_BYTES)) continue;
        double shortest = 1e9;
        for (int i = 0; i < 5; ++i) {
            auto start = Clock::now();
            vornmt::transport::RouteMessage(message.message, registry, points);
            shortest = std::min(shortest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        if (each) std::printf("%-28s %7zu bytes %6.2f ms\n", message.name, message.message.size(), shortest);
        if (shortest > figures.slowest_ms) {
            figures.slowest_ms = shortest;
            figures.slowest = message.name;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    bool racing_disconnect = true;
    bool each = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--serial") == 0) {
            racing_disconnect = false;
        } else if (std::strcmp(argv[i], "--each") == 0) {
            each = true;
        } else if (std::atof(argv[i]) > 0) {
            seconds = std::atof(argv[i]);
        }
    }
    std::vector<Flood> floods = HostileFloods();
    Figures figures;
    CarelessApplication(seconds / 2, racing_disconnect, figures);

    long base_kib = StatusKib("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    HostileServer(seconds / 2 / static_cast<double>(floods.size()), floods);
    figures.peak_kib = StatusKib("VmHWM") - base_kib;
    MeasureHandling(floods, each, figures);

    std::printf("soak %.0f s: %ld cycles, %ld requests, %ld misdirected bytes, peak %.1f MiB over base "
                "(queue bound %d MiB), slowest message %.1f ms (%s), %ld errors reported\n",
                seconds, figures.cycles, figures.requests.load(), figures.misdirected, figures.peak_kib / 1024.0,
                static_cast<int>(vornmt::transport::kMaxQueuedBytes >> 20), figures.slowest_ms, figures.slowest,
                errors_seen.load());
    return figures.misdirected == 0 ? 0 : 1;
}
