// The exported entry points: thin wrappers over the library's objects. No
// exception leaves them; a request that runs out of memory reports
// WSAENOBUFS (10055), the number the socket layer gives for the same lack.
#include <VornMTClient.h>

#include <new>

#include "client/gesture_names.h"
#include "client/library_state.h"
#include "client/status_text.h"
#include "requests/client_request.h"
#include "requests/settings_requests.h"

namespace mt = Vorn_SDK_MultiTouch;
using vornmt::client::Library;

namespace {

constexpr int32_t kOutOfMemory = 10055;  // WSAENOBUFS

template <typename Request>
int32_t RunRequest(Request request) {
    try {
        return request();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

}  // namespace

extern "C" {

VORNMT_API int32_t VORNMT_CALL ConnectServer(const char* server_address, int32_t port) {
    try {
        return Library().connection.Connect(server_address, port);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

VORNMT_API int32_t VORNMT_CALL DisconnectServer(void) {
    Library().connection.Disconnect();
    return mt::ERR_NONE;
}

VORNMT_API mt::PointFrameCallback VORNMT_CALL SetOnReceivePointFrame(mt::PointFrameCallback callback,
                                                                     void* user_data) {
    return Library().registry.SetPointFrame(callback, user_data);
}

VORNMT_API mt::GestureCallback VORNMT_CALL SetOnReceiveGesture(mt::GestureCallback callback, void* user_data) {
    return Library().registry.SetGesture(callback, user_data);
}

VORNMT_API mt::ServerBreakCallback VORNMT_CALL SetOnServerBreak(mt::ServerBreakCallback callback,
                                                                void* user_data) {
    return Library().registry.SetServerBreak(callback, user_data);
}

VORNMT_API mt::ErrorCallback VORNMT_CALL SetOnReceiveError(mt::ErrorCallback callback, void* user_data) {
    return Library().registry.SetError(callback, user_data);
}

VORNMT_API mt::DeviceInfoCallback VORNMT_CALL SetOnGetDeviceInfo(mt::DeviceInfoCallback callback,
                                                                 void* user_data) {
    return Library().registry.SetDeviceInfo(callback, user_data);
}

VORNMT_API mt::ConnectedCallback VORNMT_CALL SetOnConnected(mt::ConnectedCallback callback, void* user_data) {
    return Library().registry.SetConnected(callback, user_data);
}

VORNMT_API int32_t VORNMT_CALL SetAutoReconnect(int32_t min_delay_ms, int32_t max_delay_ms) {
    return Library().connection.SetAutoReconnect(min_delay_ms, max_delay_ms);
}

VORNMT_API int32_t VORNMT_CALL GetConnectionState(void) { return Library().connection.state(); }

VORNMT_API int32_t VORNMT_CALL SendRequest(const mt::TouchClientRequest& request) {
    return RunRequest([&] { return vornmt::requests::SendRequest(Library().connection.outbound(), request); });
}

VORNMT_API int32_t VORNMT_CALL SendThreshold(int32_t move_threshold) {
    return RunRequest([&] { return vornmt::requests::SendThreshold(Library().connection.outbound(), move_threshold); });
}

VORNMT_API int32_t VORNMT_CALL SetRawDataResolution(int32_t x, int32_t y) {
    return RunRequest([&] { return vornmt::requests::SetRawDataResolution(Library().connection.outbound(), x, y); });
}

VORNMT_API int32_t VORNMT_CALL GetServerResolution(mt::ResolutionCallback callback, void* user_data) {
    return RunRequest([&] {
        return vornmt::requests::GetServerResolution(Library().connection.outbound(), Library().registry,
                                                     {callback, user_data});
    });
}

VORNMT_API int32_t VORNMT_CALL OpenEventQueue(int32_t capacity) { return Library().events.Open(capacity); }

VORNMT_API int32_t VORNMT_CALL CloseEventQueue(void) { return Library().events.Close(); }

VORNMT_API int32_t VORNMT_CALL WaitEvent(mt::TouchEvent* event, int32_t timeout_ms) {
    return Library().events.Take(event, timeout_ms);
}

VORNMT_API intptr_t VORNMT_CALL GetEventWaitHandle(void) { return Library().events.wait_handle(); }

VORNMT_API const char* VORNMT_CALL GetGestureName(const mt::TouchGesture* gesture) {
    return vornmt::client::GestureName(gesture);
}

VORNMT_API const char* VORNMT_CALL GetGestureNameOfCode(uint16_t code) {
    return vornmt::client::GestureNameOfCode(code);
}

VORNMT_API const char* VORNMT_CALL GetStatusText(int32_t status) { return vornmt::client::StatusText(status); }

// The figure this library was built with, whatever header the caller saw.
VORNMT_API int32_t VORNMT_CALL GetLibraryVersion(void) { return VORNMT_VERSION; }

}  // extern "C"
