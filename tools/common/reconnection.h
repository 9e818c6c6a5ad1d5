// How the monitor and the view follow a touch server that restarts: the
// library's automatic reconnection with one pair of waits, and settings sent
// so that the library keeps them for the next connection. Calls the public
// API; the program that includes this links the library.
#pragma once

#include <VornMTClient.h>

namespace vornmt::tools {

// The wait before the first attempt after a loss, doubled after each failed
// attempt up to the longest (SetAutoReconnect): a server that restarts at
// once is back within a tenth of a second, one that stays away costs an
// attempt every 2 s.
constexpr int kReconnectFirstWaitMs = 100;
constexpr int kReconnectLongestWaitMs = 2000;

// The callbacks of a program that follows a server. Each runs on the
// library's dispatch thread.
struct FollowerCallbacks {
    Vorn_SDK_MultiTouch::PointFrameCallback frame;
    Vorn_SDK_MultiTouch::GestureCallback gesture;
    Vorn_SDK_MultiTouch::DeviceInfoCallback information;
    Vorn_SDK_MultiTouch::ErrorCallback error;
    Vorn_SDK_MultiTouch::ServerBreakCallback server_break;
    Vorn_SDK_MultiTouch::ConnectedCallback connected;
};

// Registers the callbacks and, with `reconnect`, turns the library's
// reconnection on with the waits above. Before ConnectServer.
inline void FollowServer(const FollowerCallbacks& callbacks, bool reconnect) {
    SetOnReceivePointFrame(callbacks.frame, nullptr);
    SetOnReceiveGesture(callbacks.gesture, nullptr);
    SetOnGetDeviceInfo(callbacks.information, nullptr);
    SetOnReceiveError(callbacks.error, nullptr);
    SetOnServerBreak(callbacks.server_break, nullptr);
    SetOnConnected(callbacks.connected, nullptr);
    if (reconnect) SetAutoReconnect(kReconnectFirstWaitMs, kReconnectLongestWaitMs);
}

// Sends one setting (SendRequest, SendThreshold, SetRawDataResolution) and
// returns ERR_NONE when it was sent or is kept for the connection the library
// is opening (ERR_NOT_YET_CONNECTED), else the failure. A send cut short by
// the loss of the connection is not kept; sent once more while the library
// reconnects, it is.
template <typename Send>
int SendKeptSetting(Send send) {
    using namespace Vorn_SDK_MultiTouch;
    int status = send();
    if (status != ERR_NONE && status != ERR_NOT_YET_CONNECTED && GetConnectionState() == STATE_RECONNECTING) {
        status = send();
    }
    return status == ERR_NOT_YET_CONNECTED ? ERR_NONE : status;
}

}  // namespace vornmt::tools
