#include "client/connection.h"

#include "platform/library_hooks.h"

namespace vornmt::client {
namespace {

constexpr const char* kDefaultServerAddress = "127.0.0.1";

}  // namespace

Connection::Connection(CallbackRegistry& registry, EventQueue& events, transport::MessageQueue& queue,
                       transport::PointBuffer& points)
    : deliveries_(registry, events, queue, stop_), context_{stop_, socket_, wakeup_, queue, deliveries_, points} {}

Connection::~Connection() {
    platform::LockGuard guard(lifecycle_lock_);
    Teardown_locked();
}

bool Connection::TeardownForUnload() {
    if (platform::ProcessIsExiting()) {
        // Under the loader's lock the socket layer must not be cleaned up:
        // release nothing.
        stop_.store(true);
        return false;
    }
    if (transport::OnWorkerThread()) {
        SignalStop();
        return false;
    }
    platform::LockGuard guard(lifecycle_lock_);
    Teardown_locked();
    return true;
}

void Connection::RenewAfterFork() {
    lifecycle_lock_.RenewAfterFork();
    stop_.store(true);
    outbound_.RenewAfterFork();
    receive_thread_.Forget();
    dispatch_thread_.Forget();
    context_.queue.RenewAfterFork();
    platform::SocketHandle socket = socket_.exchange(platform::kInvalidSocket);
    if (socket != platform::kInvalidSocket) platform::CloseSocket(socket);
    wakeup_.Close();
    send_cancel_.Close();
}

void Connection::SignalStop() {
    stop_.store(true);
    outbound_.Refuse();
    // Ends a send waiting for room on a server that stopped reading, on any
    // thread, so that a detach never waits for the server.
    send_cancel_.Signal();
    wakeup_.Signal();
    context_.queue.WakeAll();
    deliveries_.WakeWaiters();  // of the event queue
    // Ending the stream lets the server see the disconnect at once.
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
    if (socket == platform::kInvalidSocket) return;
    platform::CloseSocket(socket);
    wakeup_.Close();
    send_cancel_.Close();
    platform::CleanupSocketLayer();
}

int Connection::Connect(const char* server_address, std::int32_t port) {
    if (transport::OnWorkerThread()) return Vorn_SDK_MultiTouch::ERR_IN_CALLBACK;
    platform::LockGuard guard(lifecycle_lock_);
    return Connect_locked(server_address, port);
}

int Connection::Connect_locked(const char* server_address, std::int32_t port) {
    Teardown_locked();
    stop_.store(false);
    server_address_ = server_address != nullptr ? server_address : kDefaultServerAddress;

    int error = platform::StartSocketLayer();
    if (error != 0) return error;
    platform::SocketHandle socket = platform::OpenTcpSocket(&error);
    if (socket == platform::kInvalidSocket) {
        platform::CleanupSocketLayer();
        return error;
    }
    error = platform::ConnectIpv4(socket, server_address_.c_str(), static_cast<std::uint16_t>(port & 0xFFFF));
    if (error == 0) error = wakeup_.Open();
    if (error == 0) error = send_cancel_.Open();
    if (error != 0) {
        wakeup_.Close();
        platform::CloseSocket(socket);
        platform::CleanupSocketLayer();
        return error;
    }
    // Sends wait for room themselves, where a disconnect can end the wait.
    platform::SetNonBlocking(socket);
    socket_.store(socket);
    outbound_.Attach(socket, &send_cancel_);
    platform::KeepLibraryLoaded();

    // A thread that fails to start leaves the connection half-started; the
    // next Connect or Disconnect tears it down.
    error = receive_thread_.Start(transport::RunReceiveThread, &context_);
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

}  // namespace vornmt::client
