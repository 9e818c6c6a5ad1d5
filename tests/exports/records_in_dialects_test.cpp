// Built in C++14, 17 and 20 with warnings as errors: an application must be
// able to make, copy and store the records the ways C++ developers expect,
// and every compiler must agree on their layout (the header asserts it).
#include <VornMTClient.h>

#include <type_traits>
#include <vector>

namespace mt = Vorn_SDK_MultiTouch;

#if __cplusplus >= 201703L
static_assert(std::is_aggregate<mt::TouchPoint>::value && std::is_aggregate<mt::TouchGesture>::value &&
                  std::is_aggregate<mt::TouchDeviceInfo>::value && std::is_aggregate<mt::TouchClientRequest>::value &&
                  std::is_aggregate<mt::TouchEvent>::value,
              "records are aggregates");
#endif
static_assert(std::is_standard_layout<mt::TouchClientRequest>::value && std::is_standard_layout<mt::TouchEvent>::value,
              "records are standard layout");

int UseRecordsInThisDialect(const mt::TouchPoint* points, int count) {
    mt::TouchPoint point{1, 2, 3, 4, 5, 6};
    mt::TouchGesture gesture{8, 2, {10.5, 20.5}};
    mt::TouchDeviceInfo info{};
    mt::TouchClientRequest request{};
    request.type = 1;
    request.param[0] = 'a';

    mt::TouchPoint copied = point;
    copied = points[0];
    std::vector<mt::TouchPoint> frame(points, points + count);
    frame.push_back(point);
    mt::TouchGesture other = gesture;
    other = gesture;
    mt::TouchDeviceInfo info_copy = info;
    mt::TouchClientRequest request_copy(request);
    request_copy = request;
    mt::TouchEvent event{};
    event.kind = mt::EVENT_FRAME;
    event.points[0] = point;
    mt::TouchEvent event_copy = event;
    event_copy = event;
    std::vector<mt::TouchEvent> events(2, event);
    return copied.x + static_cast<int>(frame.size()) + other.param_count + info_copy.info_value_0 +
           request_copy.type + event_copy.points[0].x + static_cast<int>(events.size());
}
