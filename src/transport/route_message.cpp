#include "transport/route_message.h"

#include <boost/variant/get.hpp>

#include <algorithm>
#include <cstring>

#include "message/invoke.h"
#include "platform/stage_clock.h"
#include "transport/touch_decoding.h"

namespace vornmt::transport {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

// Fewest arguments each known message needs.
constexpr std::size_t kFrameArguments = 3;
constexpr std::size_t kGestureArguments = 2;
constexpr std::size_t kResolutionArguments = 1;
constexpr std::size_t kVersionArguments = 5;
constexpr std::size_t kInformationArguments = 3;

// Servers older than 1.10 speak a protocol this library does not follow.
bool IsOldServer(int major, int minor) { return major == 1 && minor < 10; }

InboundEvent OfKind(InboundEvent::Kind kind) {
    InboundEvent event;
    event.kind = kind;
    return event;
}

InboundEvent DecodeResolution(const message::ValueArray& arguments) {
    // Null counts as an object without properties; other kinds are wrong.
    if (message::KindOf(arguments[0]) == message::ValueKind::Null) return OfKind(InboundEvent::Kind::kBadMessage);
    const message::ValueObject* object = message::AsObject(arguments[0]);
    if (object == nullptr) throw boost::bad_get();
    auto x = object->find("x");
    auto y = object->find("y");
    if (x == object->end() || y == object->end()) return OfKind(InboundEvent::Kind::kBadMessage);
    InboundEvent event = OfKind(InboundEvent::Kind::kResolution);
    event.x = message::ToInteger(x->second);
    event.y = message::ToInteger(y->second);
    return event;
}

InboundEvent DecodeVersion(const message::ValueArray& arguments) {
    int major = message::ToInteger(arguments[0]);
    int minor = message::ToInteger(arguments[1]);
    return OfKind(IsOldServer(major, minor) ? InboundEvent::Kind::kOldServer : InboundEvent::Kind::kNothing);
}

InboundEvent DecodeInformation(const message::ValueArray& arguments) {
    InboundEvent event = OfKind(InboundEvent::Kind::kDeviceInfo);
    mt::TouchDeviceInfo& info = event.info;
    info.info_value_0 = message::ToInteger(arguments[0]);
    info.info_value_1 = message::ToInteger(arguments[1]);
    const std::string& text = boost::get<std::string>(arguments[2]);  // throws for other kinds
    // A longer text is cut so that the record keeps its terminating NUL.
    std::size_t length = std::min(text.size(), sizeof info.info_text - 1);
    std::memcpy(info.info_text, text.data(), length);
    return event;
}

InboundEvent Decode(const message::InvokeMessage& message, PointBuffer& points) {
    const message::ValueArray& arguments = message.arguments;
    const std::string& name = message.name;
    const InboundEvent bad = OfKind(InboundEvent::Kind::kBadMessage);
    if (name == "frame") return arguments.size() < kFrameArguments ? bad : DecodePointFrame(arguments, points);
    if (name == "gesture") return arguments.size() < kGestureArguments ? bad : DecodeGesture(arguments);
    if (name == "resolution") return arguments.size() < kResolutionArguments ? bad : DecodeResolution(arguments);
    if (name == "version") return arguments.size() < kVersionArguments ? bad : DecodeVersion(arguments);
    if (name == "information") return arguments.size() < kInformationArguments ? bad : DecodeInformation(arguments);
    return OfKind(InboundEvent::Kind::kNothing);  // a name this library does not know is ignored
}

// `message` is the caller's, so that the caller decides when its tree is
// freed: routing frees it after the delivery, off the way to the callback.
InboundEvent DecodeInto(const std::string& text, PointBuffer& points, message::InvokeMessage& message) {
    if (!message::ParseInvoke(text, message)) return OfKind(InboundEvent::Kind::kBadMessage);
    platform::MarkStage(platform::Stage::kTornDown);
    try {
        return Decode(message, points);
    } catch (const boost::bad_get&) {
        return OfKind(InboundEvent::Kind::kBadMessage);  // a value of the wrong kind
    }
}

}  // namespace

InboundEvent DecodeMessage(const std::string& text, PointBuffer& points) {
    message::InvokeMessage message;
    return DecodeInto(text, points, message);
}

void DeliverEvent(const InboundEvent& event, const PointBuffer& points, EventSink& sink) {
    switch (event.kind) {
        case InboundEvent::Kind::kNothing: break;
        case InboundEvent::Kind::kFrame:
            sink.DeliverPointFrame(event.frame_value_0, event.frame_value_1, event.point_count, points.points);
            break;
        case InboundEvent::Kind::kGesture: sink.DeliverGesture(event.gesture); break;
        case InboundEvent::Kind::kDeviceInfo: sink.DeliverDeviceInfo(event.info); break;
        case InboundEvent::Kind::kResolution: sink.DeliverResolution(event.x, event.y); break;
        case InboundEvent::Kind::kOldServer: sink.ReportError(mt::ERR_OLD_SERVER); break;
        case InboundEvent::Kind::kBadMessage: sink.ReportError(mt::ERR_BAD_MESSAGE); break;
    }
}

int RouteMessage(const std::string& text, EventSink& sink, PointBuffer& points) {
    message::InvokeMessage message;
    const InboundEvent event = DecodeInto(text, points, message);
    DeliverEvent(event, points, sink);
    return event.kind == InboundEvent::Kind::kBadMessage ? mt::ERR_BAD_MESSAGE : 0;
}

}  // namespace vornmt::transport
