#include "client/delivery_fan_out.h"

namespace vornmt::client {

void DeliveryFanOut::DeliverPointFrame(int frame_value_0, int frame_value_1, int point_count,
                                       const mt::TouchPoint* points) {
    events_.PutFrame(frame_value_0, frame_value_1, point_count, points, producer());
    ReportThrow(callbacks_.CallPointFrame(frame_value_0, frame_value_1, point_count, points));
}

void DeliveryFanOut::DeliverGesture(const mt::TouchGesture& gesture) {
    events_.PutGesture(gesture, producer());
    ReportThrow(callbacks_.CallGesture(gesture));
}

void DeliveryFanOut::DeliverDeviceInfo(const mt::TouchDeviceInfo& info) {
    events_.PutDeviceInfo(info, producer());
    ReportThrow(callbacks_.CallDeviceInfo(info));
}

void DeliveryFanOut::DeliverResolution(int x, int y) {
    events_.PutResolution(x, y, producer());
    ReportThrow(callbacks_.CallResolution(x, y));
}

void DeliveryFanOut::DeliverServerBreak() {
    events_.PutServerBreak(producer());
    ReportThrow(callbacks_.CallServerBreak());
}

void DeliveryFanOut::DeliverConnected() {
    events_.PutConnected(producer());
    ReportThrow(callbacks_.CallConnected());
}

void DeliveryFanOut::ReportError(int code) {
    events_.PutError(code, producer());
    callbacks_.ReportError(code);
}

void DeliveryFanOut::FinishedMessage() {
    if (events_.has_deferred_wake() && messages_.size() == 0) events_.WakeDeferredTakers();
}

void DeliveryFanOut::WakeWaiters() {
    events_.WakeProducers();
    events_.WakeDeferredTakers();
}

void DeliveryFanOut::ReportThrow(int status) {
    if (status != mt::ERR_NONE) ReportError(status);
}

}  // namespace vornmt::client
