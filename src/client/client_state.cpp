#include "client/client_state.h"

#include "platform/library_hooks.h"

namespace vornmt::client {
namespace {

constexpr const char* kDefaultServerAddress = "127.0.0.1";

}  // namespace

ClientState::ClientState(CallbackRegistry& registry, transport::MessageQueue& queue, transport::PointBuffer& points)
    : context_{stop_, socket_, wakeup_, queue, registry, points} {}

ClientState::~ClientState() { Teardown(); }

void ClientState::Teardown() {
    stop_.store(true);
    wakeup_.Signal();
    if (platform::ProcessIsExiting()) {
        // The system has already ended the worker threads, may hold locks they
        // held, and this runs under the loader's lock, where the socket layer
        // must not be cleaned up: wait for nothing, release nothing.
        receive_thread_.Abandon();
        dispatch_thread_.Abandon();
        return;
    }
    context_.queue.WakeAll();
    // Ending the stream lets the server see the disconnect at once and wakes a
    // callback blocked in a send to a server that stopped reading.
    platform::SocketHandle socket = socket_.load();
    if (socket != platform::kInvalidSocket) platform::ShutdownSocket(socket);
    if (transport::OnWorkerThread()) {
        // Called from a callback: this thread cannot wait for itself; handles
        // and socket are released by the next teardown.
        return;
    }
    receive_thread_.Join();
    dispatch_thread_.Join();
    ReleaseSocket();
}

void ClientState::ReleaseSocket() {
    platform::SocketHandle socket = socket_.exchange(platform::kInvalidSocket);
    if (socket == platform::kInvalidSocket) return;
    platform::CloseSocket(socket);
    wakeup_.Close();
    platform::CleanupSocketLayer();
}

int ClientState::Connect(const char* server_address, std::int32_t port) {
    if (transport::OnWorkerThread()) return Vorn_SDK_MultiTouch::ERR_IN_CALLBACK;
    Teardown();
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
    if (error != 0) {
        platform::CloseSocket(socket);
        platform::CleanupSocketLayer();
        return error;
    }
    socket_.store(socket);
    platform::KeepLibraryLoaded();

    // A thread that fails to start leaves the connection half-started; the
    // next Connect or Disconnect tears it down.
    error = receive_thread_.Start(transport::RunReceiveThread, &context_);
    if (error != 0) return error;
    return dispatch_thread_.Start(transport::RunDispatchThread, &context_);
}

void ClientState::Disconnect() { Teardown(); }

}  // namespace vornmt::client
