// Reading the event queue in tests: the wait handle looked at the way an
// application's event loop looks at it (poll on Linux, WaitForSingleObject on
// Windows), and events written as short texts that name any field set
// outside the event's kind.
#pragma once

#include <VornMTClient.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#endif

namespace vornmt::testing {

// True when `handle` is signalled within `timeout_ms` (0: looks without
// waiting).
inline bool HandleSignalled(std::intptr_t handle, int timeout_ms = 0) {
#if defined(_WIN32)
    return ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle), static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
#else
    pollfd watched{static_cast<int>(handle), POLLIN, 0};
    return ::poll(&watched, 1, timeout_ms) == 1 && (watched.revents & POLLIN) != 0;
#endif
}

// "frame 3 0 1 x=300", "gesture 1 2", "info 7 2 abc", "resolution 1920
// 1080", "break", "error 822083585"; " +stray" when a field outside the
// kind's is not zero (points beyond point_count included).
inline std::string Describe(const Vorn_SDK_MultiTouch::TouchEvent& event) {
    namespace mt = Vorn_SDK_MultiTouch;
    std::string text;
    mt::TouchEvent rest = event;  // what remains once the kind's fields are cleared
    rest.kind = 0;
    switch (event.kind) {
        case mt::EVENT_FRAME:
            text = "frame " + std::to_string(event.value_0) + " " + std::to_string(event.value_1) + " " +
                   std::to_string(event.point_count);
            if (event.point_count > 0) text += " x=" + std::to_string(event.points[0].x);
            rest.value_0 = rest.value_1 = rest.point_count = 0;
            if (event.point_count > 0 && event.point_count <= mt::MAX_FRAME_POINTS)
                std::memset(static_cast<void*>(rest.points), 0, sizeof rest.points[0] * event.point_count);
            break;
        case mt::EVENT_GESTURE:
            text = "gesture " + std::to_string(event.gesture.code) + " " + std::to_string(event.gesture.param_count);
            std::memset(static_cast<void*>(&rest.gesture), 0, sizeof rest.gesture);
            break;
        case mt::EVENT_DEVICE_INFO:
            text = "info " + std::to_string(event.info.info_value_0) + " " + std::to_string(event.info.info_value_1) +
                   " " + event.info.info_text;
            std::memset(static_cast<void*>(&rest.info), 0, sizeof rest.info);
            break;
        case mt::EVENT_RESOLUTION:
            text = "resolution " + std::to_string(event.value_0) + " " + std::to_string(event.value_1);
            rest.value_0 = rest.value_1 = 0;
            break;
        case mt::EVENT_SERVER_BREAK: text = "break"; break;
        case mt::EVENT_CONNECTED: text = "connected"; break;
        case mt::EVENT_ERROR:
            text = "error " + std::to_string(event.value_0);
            rest.value_0 = 0;
            break;
        default: return "kind " + std::to_string(event.kind);
    }
    static const mt::TouchEvent kZero{};
    if (std::memcmp(&rest, &kZero, sizeof rest) != 0) text += " +stray";
    return text;
}

// Takes events with WaitEvent until `count` have come or one wait of
// `timeout_ms` ends without one; returns them described.
inline std::vector<std::string> TakeEvents(std::size_t count, int timeout_ms = 10000) {
    std::vector<std::string> taken;
    Vorn_SDK_MultiTouch::TouchEvent event{};
    while (taken.size() < count && WaitEvent(&event, timeout_ms) == Vorn_SDK_MultiTouch::ERR_NONE)
        taken.push_back(Describe(event));
    return taken;
}

}  // namespace vornmt::testing
