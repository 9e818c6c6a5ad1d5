#include "transport/route_message.h"

#include <boost/variant/get.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "instrumentation/stage_clock.h"

namespace vornmt::transport {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

constexpr std::size_t kPointValues = 6;

// Servers older than 1.10 speak a protocol this library does not follow.
bool IsOldServer(int major, int minor) { return major == 1 && minor < 10; }

InboundEvent EventOf(InboundEvent::Kind kind) {
    InboundEvent event;
    event.kind = kind;
    return event;
}

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

// The decoders below get at least the argument count their table entry names.
// Each converts every value before it returns its event, so a message with a
// value of the wrong kind delivers nothing: such a value throws
// boost::bad_get, which makes the message a bad one.

// A frame's points go into `points`; points beyond the buffer are dropped
// unread. A point that is not an array of six numbers makes the message bad.
InboundEvent DecodeFrame(const message::ValueArray& arguments, PointBuffer& points) {
    InboundEvent event;
    event.frame_value_0 = message::ToInteger(arguments[0]);
    event.frame_value_1 = message::ToInteger(arguments[1]);
    const message::ValueArray* list = PointList(arguments[2]);
    std::size_t count = list != nullptr ? std::min(list->size(), static_cast<std::size_t>(mt::MAX_FRAME_POINTS)) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const message::ValueArray* values = message::AsArray((*list)[i]);
        if (values == nullptr || values->size() < kPointValues) return EventOf(InboundEvent::Kind::kBadMessage);
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
    instrumentation::MarkStage(instrumentation::Stage::kDecoded);
    return event;
}

// A param_count beyond the arguments that follow makes the message bad;
// parameters beyond the record's six are dropped unread.
InboundEvent DecodeGesture(const message::ValueArray& arguments, PointBuffer&) {
    InboundEvent event;
    mt::TouchGesture& gesture = event.gesture;
    gesture.code = Low16(arguments[0]);
    std::size_t announced = Low16(arguments[1]);
    if (announced > arguments.size() - 2) return EventOf(InboundEvent::Kind::kBadMessage);
    std::size_t kept = std::min(announced, static_cast<std::size_t>(mt::MAX_GESTURE_PARAMS));
    gesture.param_count = static_cast<std::uint16_t>(kept);
    // at(): should the check above ever let too many through, the read throws
    // (and the tests fail) instead of reading past the arguments.
    for (std::size_t i = 0; i < kept; ++i) gesture.params[i] = message::ToReal(arguments.at(2 + i));
    event.kind = InboundEvent::Kind::kGesture;
    return event;
}

InboundEvent DecodeResolution(const message::ValueArray& arguments, PointBuffer&) {
    // Null counts as an object without properties; other kinds are wrong.
    if (message::KindOf(arguments[0]) == message::ValueKind::Null) return EventOf(InboundEvent::Kind::kBadMessage);
    const message::ValueObject* object = message::AsObject(arguments[0]);
    if (object == nullptr) throw boost::bad_get();
    auto x = object->find("x");
    auto y = object->find("y");
    if (x == object->end() || y == object->end()) return EventOf(InboundEvent::Kind::kBadMessage);
    InboundEvent event = EventOf(InboundEvent::Kind::kResolution);
    event.x = message::ToInteger(x->second);
    event.y = message::ToInteger(y->second);
    return event;
}

// Only the first two of its five arguments matter: major and minor.
InboundEvent DecodeVersion(const message::ValueArray& arguments, PointBuffer&) {
    int major = message::ToInteger(arguments[0]);
    int minor = message::ToInteger(arguments[1]);
    return EventOf(IsOldServer(major, minor) ? InboundEvent::Kind::kOldServer : InboundEvent::Kind::kNothing);
}

InboundEvent DecodeInformation(const message::ValueArray& arguments, PointBuffer&) {
    InboundEvent event = EventOf(InboundEvent::Kind::kDeviceInfo);
    mt::TouchDeviceInfo& info = event.info;
    info.info_value_0 = message::ToInteger(arguments[0]);
    info.info_value_1 = message::ToInteger(arguments[1]);
    const std::string& text = boost::get<std::string>(arguments[2]);  // throws for other kinds
    // The record's text ends at its first NUL (a "&#0;" in the message), with
    // nothing behind it; a longer text is cut so that the record keeps its
    // terminating NUL.
    std::size_t length = std::min({text.find('\0'), text.size(), sizeof info.info_text - 1});
    std::memcpy(info.info_text, text.data(), length);
    return event;
}

struct KindDecoder {
    const char* name;
    std::size_t fewest_arguments;  // fewer make the message bad
    InboundEvent (*decode)(const message::ValueArray& arguments, PointBuffer& points);
};

// Every message name the library reads; any other name is ignored.
constexpr KindDecoder kDecoders[] = {
    {"frame", 3, DecodeFrame},
    {"gesture", 2, DecodeGesture},
    {"resolution", 1, DecodeResolution},
    {"version", 5, DecodeVersion},
    {"information", 3, DecodeInformation},
};

InboundEvent DecodeArguments(const message::InvokeMessage& message, PointBuffer& points) {
    for (const KindDecoder& kind : kDecoders) {
        if (message.name != kind.name) continue;
        if (message.arguments.size() < kind.fewest_arguments) return EventOf(InboundEvent::Kind::kBadMessage);
        return kind.decode(message.arguments, points);
    }
    return EventOf(InboundEvent::Kind::kNothing);
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

}  // namespace

InboundEvent DecodeMessage(const std::string& text, PointBuffer& points, message::InvokeMessage& parsed) {
    if (!message::ParseInvoke(text, parsed)) return EventOf(InboundEvent::Kind::kBadMessage);
    instrumentation::MarkStage(instrumentation::Stage::kParsed);
    try {
        return DecodeArguments(parsed, points);
    } catch (const boost::bad_get&) {
        return EventOf(InboundEvent::Kind::kBadMessage);  // a value of the wrong kind
    }
}

int RouteMessage(const std::string& text, EventSink& sink, PointBuffer& points) {
    message::InvokeMessage parsed;
    const InboundEvent event = DecodeMessage(text, points, parsed);
    DeliverEvent(event, points, sink);
    return event.kind == InboundEvent::Kind::kBadMessage ? mt::ERR_BAD_MESSAGE : 0;
}

}  // namespace vornmt::transport
