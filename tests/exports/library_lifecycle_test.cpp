// Loads the shared library the way an application does, checks its
// version, connects it to a
// loopback listener, and leaves it in one of two ways that only the real
// library (not the static core the other suites link) goes through:
//   library_lifecycle LIBRARY exit    returns from main while connected: the
//                                     unload teardown runs during process
//                                     exit, on Windows after the system has
//                                     already ended the worker threads;
//   library_lifecycle LIBRARY unload  disconnects and unloads the library
//                                     (Windows keeps it mapped once it has
//                                     connected);
//   library_lifecycle LIBRARY late    returns from main while connected, and
//                                     calls the library from an exit handler
//                                     that runs after the library's own
//                                     teardown, as a global destructor or a
//                                     runtime shutting down does.
// Exit status 0 on success; a hang is caught by the test's time-out.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VornMTClient.h"
#include "platform/server_sockets.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using ConnectServerFunction = int32_t(VORNMT_CALL*)(const char*, int32_t);
using DisconnectServerFunction = int32_t(VORNMT_CALL*)();
using SendThresholdFunction = int32_t(VORNMT_CALL*)(int32_t);
using GetLibraryVersionFunction = int32_t(VORNMT_CALL*)();

// The late calls' entry points, found once the library is loaded.
DisconnectServerFunction late_disconnect = nullptr;
SendThresholdFunction late_send_threshold = nullptr;

// Registered before the library is loaded, so it runs after the library's
// own exit-time teardown. A call that hangs is caught by the test's time-out.
void CallAfterTheLibrarysTeardown() {
    if (late_disconnect == nullptr || late_send_threshold == nullptr) std::_Exit(1);
    if (late_disconnect() != 0 || late_send_threshold(1) != 10057 || late_disconnect() != 0) {
        std::fprintf(stderr, "library_lifecycle: a call after the library's teardown failed\n");
        std::_Exit(1);
    }
}

int Fail(const char* what) {
    std::fprintf(stderr, "library_lifecycle: %s\n", what);
    return 1;
}

#if defined(_WIN32)
using Library = HMODULE;
Library Load(const char* path) { return ::LoadLibraryA(path); }
void* Find(Library library, const char* name) { return reinterpret_cast<void*>(::GetProcAddress(library, name)); }
bool Unload(Library library) { return ::FreeLibrary(library) != 0; }
#else
using Library = void*;
Library Load(const char* path) { return ::dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void* Find(Library library, const char* name) { return ::dlsym(library, name); }
bool Unload(Library library) { return ::dlclose(library) == 0; }
#endif

}  // namespace

int main(int argc, char** argv) {
    using namespace vornmt::platform;
    if (argc != 3 || (std::strcmp(argv[2], "exit") != 0 && std::strcmp(argv[2], "unload") != 0 &&
                      std::strcmp(argv[2], "late") != 0)) {
        return Fail("usage: library_lifecycle LIBRARY exit|unload|late");
    }
    const bool late_calls = std::strcmp(argv[2], "late") == 0;
    const bool exit_while_connected = late_calls || std::strcmp(argv[2], "exit") == 0;
    if (late_calls) std::atexit(CallAfterTheLibrarysTeardown);

    if (StartSocketLayer() != 0) return Fail("socket layer did not start");
    int error = 0;
    std::uint16_t port = 0;
    SocketHandle listener = ListenLoopback(0, &port, &error);
    if (listener == kInvalidSocket) return Fail("cannot listen");

    Library library = Load(argv[1]);
    if (library == nullptr) return Fail("cannot load the library");
    // What a binding checks first: the loaded library's own version.
    auto version = reinterpret_cast<GetLibraryVersionFunction>(Find(library, "GetLibraryVersion"));
    if (version == nullptr || version() != VORNMT_VERSION) return Fail("GetLibraryVersion is not the header's version");
    auto connect = reinterpret_cast<ConnectServerFunction>(Find(library, "ConnectServer"));
    auto disconnect = reinterpret_cast<DisconnectServerFunction>(Find(library, "DisconnectServer"));
    if (connect == nullptr || disconnect == nullptr) return Fail("ConnectServer or DisconnectServer not exported");
    late_disconnect = disconnect;
    late_send_threshold = reinterpret_cast<SendThresholdFunction>(Find(library, "SendThreshold"));

    if (connect("127.0.0.1", port) != 0) return Fail("ConnectServer failed");
    SocketHandle server = AcceptClient(listener, &error);
    if (server == kInvalidSocket) return Fail("the library's connection was not accepted");

    if (exit_while_connected) return 0;  // the worker threads still run

    if (disconnect() != 0) return Fail("DisconnectServer failed");
    // The server sees the end of the stream once the library has closed.
    SocketWakeup never;
    if (never.Open() != 0) return Fail("no wake-up");
    char byte = 0;
    if (WaitReadable(server, never, 10000, &error) != WaitResult::kReadable || Receive(server, &byte, 1, &error) != 0) {
        return Fail("the library did not close its connection");
    }
    if (!Unload(library)) return Fail("unloading failed");
#if defined(_WIN32)
    // Pinned once it connected, so unloading never unmaps a worker's code.
    if (::GetModuleHandleA("VornMTClient.dll") == nullptr) return Fail("the library was unmapped");
#endif
    never.Close();
    CloseSocket(server);
    CloseSocket(listener);
    CleanupSocketLayer();
    return 0;
}
