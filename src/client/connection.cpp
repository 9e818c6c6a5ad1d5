#include "client/connection.h"

#include <cstring>

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
    stop_.store(true);
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
    const char* address = server_address != nullptr ? server_address : kDefaultServerAddress;
    const void* end = std::memchr(address, '\0', kAddressCapacity);
    if (end == nullptr) return platform::kWsaAddressInvalid;
    std::memcpy(server_address_, address, static_cast<std::size_t>(static_cast<const char*>(end) - address) + 1);

    int error = platform::StartSocketLayer();
    if (error != 0) return error;
    platform::SocketHandle socket = platform::OpenTcpSocket(&error);
    if (socket == platform::kInvalidSocket) {
        platform::CleanupSocketLayer();
        return error;
    }
    error = platform::ConnectIpv4(socket, server_address_, static_cast<std::uint16_t>(port & 0xFFFF));
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
