// The touch server simulator as an object: listens on 127.0.0.1, serves each
// client that connects with a ClientSession on a thread of its own (at most
// max_clients at once), and stops cleanly from any thread. The command line
// (sim_main.cpp) and the tests both drive it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/server_sockets.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"
#include "simulator/client_session.h"

namespace vornmt::tools {

constexpr std::uint16_t kDefaultSimulatorPort = kDefaultServerPort;

// Clients served at once by default: each holds a thread, and a test machine
// (or a limit on threads per process) serves this many with room to spare.
constexpr int kDefaultMaxClients = 32;

// Starts a client's thread running `body`. Throws std::system_error when the
// system has no thread to give, as std::thread does.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

struct SimulatorOptions {
    std::uint16_t port = kDefaultSimulatorPort;  // 0 picks a free port
    SessionSettings session;
    LogFunction log;  // may be empty; called from several threads
    // A client that connects while this many are served is closed at once.
    int max_clients = kDefaultMaxClients;
    // Empty: std::thread. Tests put a starter here that fails.
    ThreadStarter start_thread;
};

class SimulatorServer {
public:
    SimulatorServer() = default;
    ~SimulatorServer();  // stops
    SimulatorServer(const SimulatorServer&) = delete;
    SimulatorServer& operator=(const SimulatorServer&) = delete;

    // Starts listening and accepting. Returns 0, a Windows Sockets error
    // number (10048: the port is taken), or -1 when the stream is empty,
    // the speed is not above 0, max_clients is below 1, or a stop was
    // requested already. Call it once.
    int Start(SimulatorOptions options);
    // The port it listens on (the chosen one when started with port 0).
    std::uint16_t port() const { return port_; }

    // Asks everything to stop: closes every client connection and wakes the
    // waiting threads, without waiting for them. Any thread, also before
    // Start; safe to call more than once.
    void RequestStop();
    // RequestStop, then waits for all threads and stops listening. Not from
    // a session's thread or a log function; a second call does nothing more.
    void Stop();

    // How many clients have been served to the end so far.
    int finished_clients() const;
    // Waits until `count` clients have finished, Stop is called, or
    // `timeout_ms` passes (-1: no time-out). True when `count` is reached.
    bool WaitForFinishedClients(int count, int timeout_ms);

private:
    struct Session {
        int number = 0;
        platform::SocketHandle socket = platform::kInvalidSocket;  // guarded by mutex_
        bool done = false;                                         // guarded by mutex_
        std::thread thread;
    };

    void AcceptLoop();
    // Accept thread: serves `client` on a thread of its own, or closes it
    // when max_clients are served already or no thread can be started.
    void AdmitClient(platform::SocketHandle client);
    void ServeClient(Session* session);
    void ReapFinished();
    void Log(const std::string& line) const;

    SimulatorOptions options_;
    std::uint16_t port_ = 0;
    platform::SocketHandle listener_ = platform::kInvalidSocket;
    platform::SocketWakeup stop_;  // signalled once by Stop; wakes every waiting thread
    bool socket_layer_started_ = false;
    std::thread accept_thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::list<std::unique_ptr<Session>> sessions_;  // guarded by mutex_
    int finished_ = 0;                              // guarded by mutex_
    bool stopping_ = false;                         // guarded by mutex_
    int next_number_ = 1;                           // accept thread only
};

}  // namespace vornmt::tools
