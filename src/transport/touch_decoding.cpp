#include "transport/touch_decoding.h"

#include <boost/variant/get.hpp>

#include <algorithm>
#include <cstdint>

#include "platform/stage_clock.h"

namespace vornmt::transport {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

constexpr std::size_t kPointValues = 6;

// A 16-bit field keeps the low 16 bits of the wire number.
std::uint16_t Low16(const message::Value& value) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(message::ToInteger(value)) & 0xFFFFu);
}

// The point list: an array, or null for none (nullptr here). Anything else
// is the wrong kind.
const message::ValueArray* PointList(const message::Value& value) {
    if (message::KindOf(value) == message::ValueKind::Null) return nullptr;
    const message::ValueArray* list = message::AsArray(value);
    if (list == nullptr) throw boost::bad_get();
    return list;
}

InboundEvent Bad() {
    InboundEvent event;
    event.kind = InboundEvent::Kind::kBadMessage;
    return event;
}

}  // namespace

InboundEvent DecodePointFrame(const message::ValueArray& arguments, PointBuffer& points) {
    InboundEvent event;
    event.frame_value_0 = message::ToInteger(arguments[0]);
    event.frame_value_1 = message::ToInteger(arguments[1]);
    const message::ValueArray* list = PointList(arguments[2]);
    // Points beyond the buffer are dropped unread.
    std::size_t count = list != nullptr ? std::min(list->size(), static_cast<std::size_t>(mt::MAX_FRAME_POINTS)) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const message::ValueArray* values = message::AsArray((*list)[i]);
        if (values == nullptr || values->size() < kPointValues) return Bad();
        mt::TouchPoint& point = points.points[i];
        point.code_0 = Low16((*values)[0]);
        point.code_1 = Low16((*values)[1]);
        point.x = message::ToInteger((*values)[2]);
        point.y = message::ToInteger((*values)[3]);
        point.aux_0 = Low16((*values)[4]);
        point.aux_1 = Low16((*values)[5]);
    }
    event.kind = InboundEvent::Kind::kFrame;
    event.point_count = static_cast<int>(count);
    platform::MarkStage(platform::Stage::kDecoded);
    return event;
}

InboundEvent DecodeGesture(const message::ValueArray& arguments) {
    InboundEvent event;
    mt::TouchGesture& gesture = event.gesture;
    gesture.code = Low16(arguments[0]);
    std::size_t announced = Low16(arguments[1]);
    if (announced > arguments.size() - 2) return Bad();
    // Parameters beyond the record's six are dropped unread.
    std::size_t kept = std::min(announced, static_cast<std::size_t>(mt::MAX_GESTURE_PARAMS));
    gesture.param_count = static_cast<std::uint16_t>(kept);
    for (std::size_t i = 0; i < kept; ++i) gesture.params[i] = message::ToReal(arguments[2 + i]);
    event.kind = InboundEvent::Kind::kGesture;
    return event;
}

}  // namespace vornmt::transport
