#include "simulator/simulator_server.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "common/event_text.h"

namespace vornmt::tools {

SimulatorServer::~SimulatorServer() { Stop(); }

int SimulatorServer::Start(SimulatorOptions options) {
    const SessionSettings& session = options.session;
    if (session.stream.items.empty() || !(session.stream.pass_ms > 0) || !(session.speed > 0) ||
        options.max_clients < 1) {
        return -1;
    }
    options_ = std::move(options);
    std::lock_guard<std::mutex> hold(mutex_);
    if (stopping_) return -1;
    int error = platform::StartSocketLayer();
    if (error != 0) return error;
    socket_layer_started_ = true;
    if ((error = stop_.Open()) != 0) return error;
    listener_ = platform::ListenLoopback(options_.port, &port_, &error);
    if (listener_ == platform::kInvalidSocket) return error;
    accept_thread_ = std::thread([this] { AcceptLoop(); });
    return 0;
}

void SimulatorServer::RequestStop() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
        // A session blocked in a send to a client that reads nothing wakes
        // only when its socket is shut down.
        for (auto& session : sessions_) {
            if (session->socket != platform::kInvalidSocket) platform::ShutdownSocket(session->socket);
        }
        stop_.Signal();
    }
    changed_.notify_all();
}

void SimulatorServer::Stop() {
    RequestStop();
    if (accept_thread_.joinable()) accept_thread_.join();
    // The accept thread has ended, so nobody adds sessions any more.
    for (auto& session : sessions_) {
        if (session->thread.joinable()) session->thread.join();
    }
    sessions_.clear();
    if (listener_ != platform::kInvalidSocket) platform::CloseSocket(listener_);
    listener_ = platform::kInvalidSocket;
    stop_.Close();
    if (socket_layer_started_) platform::CleanupSocketLayer();
    socket_layer_started_ = false;
}

int SimulatorServer::finished_clients() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return finished_;
}

bool SimulatorServer::WaitForFinishedClients(int count, int timeout_ms) {
    std::unique_lock<std::mutex> hold(mutex_);
    auto reached = [&] { return finished_ >= count || stopping_; };
    if (timeout_ms < 0) {
        changed_.wait(hold, reached);
    } else {
        changed_.wait_for(hold, std::chrono::milliseconds(timeout_ms), reached);
    }
    return finished_ >= count;
}

void SimulatorServer::Log(const std::string& line) const {
    if (options_.log) options_.log(line);
}

void SimulatorServer::AcceptLoop() {
    for (;;) {
        int error = 0;
        platform::WaitResult ready = platform::WaitReadable(listener_, stop_, -1, &error);
        if (ready == platform::WaitResult::kWoken) return;
        if (ready == platform::WaitResult::kFailed) {
            Log("waiting for clients failed: " + StatusWithNumber(error) + "; no new clients");
            return;
        }
        if (ready != platform::WaitResult::kReadable) continue;
        platform::SocketHandle client = platform::AcceptClient(listener_, &error);
        if (client == platform::kInvalidSocket) {
            Log("accepting a client failed: " + StatusWithNumber(error));
            // The listener stays readable while, say, no descriptor is
            // free: pause rather than spin. A stop is seen at the next wait.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        platform::SetNoDelay(client);
        ReapFinished();
        AdmitClient(client);
    }
}

void SimulatorServer::AdmitClient(platform::SocketHandle client) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (stopping_) {
        platform::CloseSocket(client);
        return;
    }
    const int number = next_number_++;
    const auto served = std::count_if(sessions_.begin(), sessions_.end(), [](const auto& s) { return !s->done; });
    if (served >= options_.max_clients) {
        platform::CloseSocket(client);
        hold.unlock();
        Log("client " + std::to_string(number) + ": refused and closed: " + std::to_string(options_.max_clients) +
            " clients are served already (the most at once)");
        return;
    }
    auto session = std::make_unique<Session>();
    session->number = number;
    session->socket = client;
    Session* raw = session.get();
    sessions_.push_back(std::move(session));
    try {
        std::function<void()> body = [this, raw] { ServeClient(raw); };
        raw->thread = options_.start_thread ? options_.start_thread(std::move(body)) : std::thread(std::move(body));
    } catch (const std::system_error& failure) {
        // No thread, so nobody else knows this session: drop it here.
        platform::CloseSocket(client);
        sessions_.pop_back();
        hold.unlock();
        Log("client " + std::to_string(number) + ": closed: no thread could be started for it (" + failure.what() +
            ")");
    }
}

void SimulatorServer::ServeClient(Session* session) {
    // The socket stays open until this thread closes it under the lock, so
    // Stop never shuts down a closed (and perhaps reused) handle.
    const platform::SocketHandle socket = session->socket;
    Log("client " + std::to_string(session->number) + ": connected");
    ClientSession client(session->number, socket, options_.session, stop_, options_.log);
    std::string ending = client.Run();
    Log("client " + std::to_string(session->number) + ": finished: " + ending);
    {
        std::lock_guard<std::mutex> hold(mutex_);
        platform::CloseSocket(socket);
        session->socket = platform::kInvalidSocket;
        session->done = true;
        ++finished_;
    }
    changed_.notify_all();
}

void SimulatorServer::ReapFinished() {
    std::list<std::unique_ptr<Session>> finished;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        for (auto it = sessions_.begin(); it != sessions_.end();) {
            auto next = std::next(it);
            if ((*it)->done) finished.splice(finished.end(), sessions_, it);
            it = next;
        }
    }
    for (auto& session : finished) session->thread.join();
}

}  // namespace vornmt::tools
