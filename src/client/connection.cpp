#include "client/connection.h"

#include <cstring>

#include "platform/library_hooks.h"

namespace vornmt::client {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

constexpr const char* kDefaultServerAddress = "127.0.0.1";

// Connect failures that mean the server is not there (yet): with automatic
// reconnection on, the library goes on trying after them.
bool ServerIsAbsent(int error) {
    switch (error) {
        case platform::kWsaConnectionRefused:
        case platform::kWsaTimedOut:
        case platform::kWsaConnectionReset:
        case platform::kWsaConnectionAborted:
        case 10050:  // network down
        case 10051:  // network unreachable
        case 10064:  // host down
        case 10065:  // host unreachable
            return true;
        default:
            return false;
    }
}

}  // namespace

Connection::Connection(CallbackRegistry& registry, EventQueue& events, transport::MessageQueue& queue,
                       transport::PointBuffer& points)
    : deliveries_(registry, events, queue, stop_),
      context_{stop_, socket_, wakeup_, queue, deliveries_, points, *this} {}

Connection::~Connection() {
    platform::LockGuard guard(lifecycle_lock_);
    Teardown_locked();
}

void Connection::TeardownForUnload() {
    if (platform::ProcessIsExiting()) {
        // Under the loader's lock the socket layer must not be cleaned up:
        // release nothing.
        stop_.store(true);
        return;
    }
    if (transport::OnWorkerThread()) {
        SignalStop();
        return;
    }
    platform::LockGuard guard(lifecycle_lock_);
    Teardown_locked();
}

void Connection::RenewAfterFork() {
    lifecycle_lock_.RenewAfterFork();
    socket_lock_.RenewAfterFork();
    stop_.store(true);
    state_.store(mt::STATE_DISCONNECTED);
    reconnect_.TurnOff();
    outbound_.RenewAfterFork();
    receive_thread_.Forget();
    dispatch_thread_.Forget();
    context_.queue.RenewAfterFork();
    // The fork handler has closed the child's copies of the socket and the
    // wake-ups already, whichever step of a connect or a disconnect another
    // thread was in; only the numbers are left to drop.
    socket_.store(platform::kInvalidSocket);
    wakeup_.ForgetAfterFork();
    send_cancel_.ForgetAfterFork();
    socket_layer_started_ = false;
}

void Connection::SignalStop() {
    stop_.store(true);
    state_.store(mt::STATE_DISCONNECTED);
    outbound_.Refuse();
    // Ends a send waiting for room on a server that stopped reading, on any
    // thread, so that a detach never waits for the server.
    send_cancel_.Signal();
    // Also ends a wait between attempts and an attempt in progress.
    wakeup_.Signal();
    context_.queue.WakeAll();
    deliveries_.WakeWaiters();  // of the event queue
    // Ending the stream lets the server see the disconnect at once.
    platform::LockGuard guard(socket_lock_);
    platform::SocketHandle socket = socket_.load();
    if (socket != platform::kInvalidSocket) platform::ShutdownSocket(socket);
}

void Connection::Teardown_locked() {
    SignalStop();
    receive_thread_.Join();
    dispatch_thread_.Join();
    ReleaseSocket();
}

void Connection::ReleaseSocket() {
    // No request can be sending once the socket is detached, so the handle
    // number cannot be reused under one.
    outbound_.Detach();
    platform::SocketHandle socket = socket_.exchange(platform::kInvalidSocket);
    if (socket != platform::kInvalidSocket) platform::CloseSocket(socket);
    wakeup_.Close();
    send_cancel_.Close();
    if (socket_layer_started_) platform::CleanupSocketLayer();
    socket_layer_started_ = false;
}

int Connection::Connect(const char* server_address, std::int32_t port) {
    if (transport::OnWorkerThread()) return mt::ERR_IN_CALLBACK;
    platform::LockGuard guard(lifecycle_lock_);
    return Connect_locked(server_address, port);
}

int Connection::Connect_locked(const char* server_address, std::int32_t port) {
    Teardown_locked();
    stop_.store(false);
    outbound_.ForgetSettings();
    const char* address = server_address != nullptr ? server_address : kDefaultServerAddress;
    const void* end = std::memchr(address, '\0', kAddressCapacity);
    if (end == nullptr) return platform::kWsaAddressInvalid;
    std::memcpy(server_address_, address, static_cast<std::size_t>(static_cast<const char*>(end) - address) + 1);
    port_ = static_cast<std::uint16_t>(port & 0xFFFF);

    int error = platform::StartSocketLayer();
    if (error != 0) return error;
    socket_layer_started_ = true;
    error = wakeup_.Open();
    if (error == 0) error = send_cancel_.Open();
    platform::SocketHandle socket = platform::kInvalidSocket;
    if (error == 0) socket = platform::OpenTcpSocket(&error);
    if (socket != platform::kInvalidSocket) {
        error = platform::ConnectIpv4(socket, server_address_, port_);
        if (error != 0) {
            platform::CloseSocket(socket);
            socket = platform::kInvalidSocket;
        }
    }
    if (error != 0 && !(reconnect_.on() && ServerIsAbsent(error))) {
        ReleaseSocket();
        return error;
    }
    platform::KeepLibraryLoaded();
    if (socket != platform::kInvalidSocket) {
        // Sends wait for room themselves, where a disconnect can end the wait.
        platform::SetNonBlocking(socket);
        socket_.store(socket);
        outbound_.Attach(socket, &send_cancel_);
        state_.store(mt::STATE_CONNECTED);
    } else {
        // No server yet: the receive thread reports why and goes on trying;
        // settings made meanwhile are kept for the connection it opens.
        unreported_error_.store(error);
        outbound_.KeepSettingsForNextSocket();
        state_.store(mt::STATE_RECONNECTING);
    }
    int started = StartThreads();
    if (started != 0) return started;
    return socket != platform::kInvalidSocket ? mt::ERR_NONE : mt::ERR_NOT_YET_CONNECTED;
}

int Connection::StartThreads() {
    // A thread that fails to start leaves the connection half-started; the
    // next Connect or Disconnect tears it down.
    int error = receive_thread_.Start(transport::RunReceiveThread, &context_);
    if (error != 0) return error;
    return dispatch_thread_.Start(transport::RunDispatchThread, &context_);
}

void Connection::Disconnect() {
    if (transport::OnWorkerThread()) {
        // From a callback: the calling thread cannot wait for itself. The
        // socket stays open (an application-thread teardown closes it only
        // after joining this thread), so shutting it down here is safe.
        SignalStop();
        return;
    }
    platform::LockGuard guard(lifecycle_lock_);
    Teardown_locked();
}

bool Connection::ConnectionLost() {
    std::int32_t connected = mt::STATE_CONNECTED;
    const bool again = reconnect_.on() && !stop_.load();
    if (again) {
        // Settings from now on wait for the next socket, before the state
        // says so; one still sending on the lost socket is ended first, and
        // then nothing waits on the cancel.
        send_cancel_.Signal();
        outbound_.KeepSettingsForNextSocket();
        send_cancel_.Clear();
    }
    // From CONNECTED only: a stop meanwhile has set DISCONNECTED for good.
    state_.compare_exchange_strong(connected, again ? mt::STATE_RECONNECTING : mt::STATE_DISCONNECTED);
    if (!again) return false;
    platform::SocketHandle lost = platform::kInvalidSocket;
    {
        platform::LockGuard guard(socket_lock_);
        lost = socket_.exchange(platform::kInvalidSocket);
    }
    if (lost != platform::kInvalidSocket) platform::CloseSocket(lost);
    reconnect_.Restart();
    return true;
}

bool Connection::Reconnect() {
    if (int error = unreported_error_.exchange(0)) context_.sink.ReportError(error);
    for (;;) {
        if (stop_.load()) return false;
        const int delay_ms = reconnect_.NextDelayMs();
        if (delay_ms < 0) {  // turned off meanwhile
            std::int32_t reconnecting = mt::STATE_RECONNECTING;
            state_.compare_exchange_strong(reconnecting, mt::STATE_DISCONNECTED);
            return false;
        }
        int error = 0;
        if (platform::WaitForWakeup(wakeup_, delay_ms, &error) == platform::WaitResult::kWoken) {
            wakeup_.Clear();
            continue;  // a stop, seen at the top
        }
        platform::SocketHandle socket = platform::OpenTcpSocket(&error);
        if (socket == platform::kInvalidSocket) continue;  // no socket to spare: the next wait
        error = platform::ConnectIpv4Interruptibly(socket, server_address_, port_, wakeup_);
        if (error != 0) {
            platform::CloseSocket(socket);
            continue;
        }
        {
            platform::LockGuard guard(socket_lock_);
            if (stop_.load()) {
                platform::CloseSocket(socket);
                return false;
            }
            socket_.store(socket);
        }
        // A settings send that fails leaves a socket whose end the next read
        // reports, like any other.
        outbound_.AttachSendingSettings(socket, &send_cancel_);
        std::int32_t reconnecting = mt::STATE_RECONNECTING;
        state_.compare_exchange_strong(reconnecting, mt::STATE_CONNECTED);
        return true;
    }
}

}  // namespace vornmt::client
