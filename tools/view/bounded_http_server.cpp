#include "view/bounded_http_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vornmt::tools::view {
namespace {

using Clock = std::chrono::steady_clock;

platform::SocketHandle Handle(socket_t socket) { return static_cast<platform::SocketHandle>(socket); }

void CloseConnection(socket_t socket) {
    platform::ShutdownSocket(Handle(socket));
    platform::CloseSocket(Handle(socket));
}

// One connection's bytes as cpp-httplib reads and writes them. Reads come
// from a small buffer filled by at most kMaxRequestHeadBytes in all, before
// the head's deadline; past either, a read fails as a broken stream does.
class RequestStream final : public httplib::Stream {
public:
    // `ending` ends every wait once the server ends its connections.
    RequestStream(socket_t socket, platform::SocketWakeup& ending, int write_timeout_ms)
        : socket_(socket), ending_(ending), write_timeout_ms_(write_timeout_ms),
          head_deadline_(Clock::now() + std::chrono::milliseconds(kRequestHeadMs)) {}

    bool is_readable() const override {
        if (used_ < filled_) return true;
        if (received_ >= kMaxRequestHeadBytes) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(head_deadline_ - Clock::now()).count();
        int error = 0;
        return left > 0 && platform::WaitReadable(Handle(socket_), ending_, static_cast<int>(left), &error) ==
                               platform::WaitResult::kReadable;
    }
    bool is_writable() const override {
        int error = 0;
        return platform::WaitWritable(Handle(socket_), ending_, write_timeout_ms_, &error) ==
               platform::WaitResult::kWritable;
    }

    ssize_t read(char* data, std::size_t size) override {
        if (used_ == filled_) {
            if (!is_readable()) return -1;
            const std::size_t room = std::min(sizeof buffer_, kMaxRequestHeadBytes - received_);
            int error = 0;
            const long got = platform::Receive(Handle(socket_), buffer_, room, &error);
            if (got <= 0) return static_cast<ssize_t>(got);
            received_ += static_cast<std::size_t>(got);
            used_ = 0;
            filled_ = static_cast<std::size_t>(got);
        }
        const std::size_t count = std::min(size, filled_ - used_);
        std::memcpy(data, buffer_ + used_, count);
        used_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* data, std::size_t size) override {
        if (!is_writable()) return -1;
        int error = 0;
        return static_cast<ssize_t>(platform::Send(Handle(socket_), data, size, &error));
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        platform::PeerAddress(Handle(socket_), &ip, &port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        platform::LocalAddress(Handle(socket_), &ip, &port);
    }
    socket_t socket() const override { return socket_; }

private:
    const socket_t socket_;
    platform::SocketWakeup& ending_;
    const int write_timeout_ms_;
    const Clock::time_point head_deadline_;
    char buffer_[4096];
    std::size_t used_ = 0;
    std::size_t filled_ = 0;
    std::size_t received_ = 0;  // from the socket, in all
};

}  // namespace

// cpp-httplib's task queue, made by its listening thread as serving begins
// and shut down as it ends. A task runs where it is given, on the accept
// thread: each is one connection's admission, which never waits.
class BoundedHttpServer::Handover final : public httplib::TaskQueue {
public:
    explicit Handover(BoundedHttpServer& server) : server_(server) { server_.StartServing(); }
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override { server_.StopServing(); }

private:
    BoundedHttpServer& server_;
};

BoundedHttpServer::BoundedHttpServer(std::size_t serving_threads) : serving_threads_(serving_threads) {
    socket_layer_ = platform::StartSocketLayer();
    new_task_queue = [this] { return new Handover(*this); };
}

BoundedHttpServer::~BoundedHttpServer() {
    StopServing();
    if (socket_layer_ == 0) platform::CleanupSocketLayer();
}

void BoundedHttpServer::StartServing() {
    serving_ = std::make_unique<httplib::ThreadPool>(serving_threads_);
    {
        // Without its wake-up the room could not be told of a new
        // connection; then ending_ makes each close as it is accepted.
        std::lock_guard<std::mutex> hold(mutex_);
        if (room_changed_.Open() != 0 || ending_signal_.Open() != 0) {
            ending_ = true;
            return;
        }
    }
    room_thread_ = std::thread([this] { WaitForFirstBytes(); });
}

void BoundedHttpServer::StopServing() {
    EndConnections();
    if (room_thread_.joinable()) room_thread_.join();
    // Connections handed over meanwhile are closed unserved (ending_).
    if (serving_) serving_->shutdown();
    serving_.reset();
    // Under the lock, as EndConnections signals under it from any thread.
    std::lock_guard<std::mutex> hold(mutex_);
    room_changed_.Close();
    ending_signal_.Close();
}

void BoundedHttpServer::EndConnections() {
    std::lock_guard<std::mutex> hold(mutex_);
    ending_ = true;
    for (socket_t socket : open_) platform::ShutdownSocket(Handle(socket));
    room_changed_.Signal();
    ending_signal_.Signal();
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (ending_ || waiting_.size() + queued_ >= kMaxWaitingConnections) {
        CloseConnection(sock);
        return false;
    }
    waiting_.push_back({sock, Clock::now() + std::chrono::milliseconds(kFirstByteMs)});
    room_changed_.Signal();
    return true;
}

void BoundedHttpServer::WaitForFirstBytes() {
    std::vector<platform::SocketHandle> watched;
    std::vector<bool> readable;
    std::vector<socket_t> ready;
    for (;;) {
        Clock::time_point first_deadline = Clock::time_point::max();
        watched.clear();
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (ending_) break;
            for (const Waiting& waiting : waiting_) {
                watched.push_back(static_cast<platform::SocketHandle>(waiting.socket));
                first_deadline = std::min(first_deadline, waiting.closes_at);
            }
        }
        int timeout_ms = -1;
        if (!watched.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(first_deadline - Clock::now());
            timeout_ms = static_cast<int>(std::max<long long>(left.count() + 1, 0));
        }
        int error = 0;
        const platform::WaitResult result =
            platform::WaitAnyReadable(watched, &readable, room_changed_, timeout_ms, &error);
        if (result == platform::WaitResult::kWoken) {
            room_changed_.Clear();
            continue;
        }
        // A wait that fails (out of memory) would fail again at once: the
        // connections are closed rather than watched in a busy loop.
        const bool failed = result == platform::WaitResult::kFailed;
        if (result != platform::WaitResult::kReadable) readable.assign(watched.size(), false);
        ready.clear();
        {
            std::lock_guard<std::mutex> hold(mutex_);
            const Clock::time_point now = Clock::now();
            // Only this thread removes, so the first watched.size() entries
            // are the ones watched; later ones joined meanwhile.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < waiting_.size(); ++i) {
                const bool watched_now = i < watched.size();
                if (watched_now && readable[i]) {
                    ready.push_back(waiting_[i].socket);
                } else if (watched_now && (failed || waiting_[i].closes_at <= now)) {
                    CloseConnection(waiting_[i].socket);
                } else {
                    waiting_[kept++] = waiting_[i];
                }
            }
            waiting_.resize(kept);
            queued_ += ready.size();
        }
        for (socket_t socket : ready) serving_->enqueue([this, socket] { Serve(socket); });
    }
    std::lock_guard<std::mutex> hold(mutex_);
    for (const Waiting& waiting : waiting_) CloseConnection(waiting.socket);
    waiting_.clear();
}

void BoundedHttpServer::Serve(socket_t sock) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        --queued_;
        if (ending_) {
            CloseConnection(sock);
            return;
        }
        open_.insert(sock);
    }
    bool closed = false;
    {
        RequestStream stream(sock, ending_signal_, static_cast<int>(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000));
        // The one request of this connection: cpp-httplib answers it with
        // "Connection: close" and reads nothing after it.
        process_request(stream, /*close_connection=*/true, closed, nullptr);
    }
    std::lock_guard<std::mutex> hold(mutex_);
    open_.erase(sock);
    CloseConnection(sock);
}

}  // namespace vornmt::tools::view
