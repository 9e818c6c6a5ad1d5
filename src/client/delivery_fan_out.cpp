#include "client/delivery_fan_out.h"

namespace vornmt::client {

void DeliveryFanOut::DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                                       const mt::TouchPoint* points) {
    events_.PutFrame(frame_value_0, frame_value_1, point_count, points, stop_);
    ReportThrow(callbacks_.CallPointFrame(frame_value_0, frame_value_1, point_count, points));
}

void DeliveryFanOut::DeliverGesture(const mt::TouchGesture& gesture) {
    events_.PutGesture(gesture, stop_);
    ReportThrow(callbacks_.CallGesture(gesture));
}

void DeliveryFanOut::DeliverDeviceInfo(const mt::TouchDeviceInfo& info) {
    events_.PutDeviceInfo(info, stop_);
    ReportThrow(callbacks_.CallDeviceInfo(info));
}

void DeliveryFanOut::DeliverResolution(int x, int y) {
    events_.PutResolution(x, y, stop_);
    ReportThrow(callbacks_.CallResolution(x, y));
}

void DeliveryFanOut::DeliverServerBreak() {
    events_.PutServerBreak(stop_);
    ReportThrow(callbacks_.CallServerBreak());
}

void DeliveryFanOut::ReportError(int code) {
    events_.PutError(code, stop_);
    callbacks_.ReportError(code);
}

void DeliveryFanOut::ReportThrow(int status) {
    if (status != mt::ERR_NONE) ReportError(status);
}

}  // namespace vornmt::client
