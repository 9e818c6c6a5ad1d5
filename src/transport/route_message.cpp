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

int RouteResolution(const message::ValueArray& arguments, client::CallbackRegistry& registry) {
    // Null counts as an object without properties; other kinds are wrong.
    if (message::KindOf(arguments[0]) == message::ValueKind::Null) return mt::ERR_BAD_MESSAGE;
    const message::ValueObject* object = message::AsObject(arguments[0]);
    if (object == nullptr) throw boost::bad_get();
    auto x = object->find("x");
    auto y = object->find("y");
    if (x == object->end() || y == object->end()) return mt::ERR_BAD_MESSAGE;
    int x_value = message::ToInteger(x->second);
    int y_value = message::ToInteger(y->second);
    registry.DeliverResolution(x_value, y_value);
    return 0;
}

int RouteVersion(const message::ValueArray& arguments, client::CallbackRegistry& registry) {
    int major = message::ToInteger(arguments[0]);
    int minor = message::ToInteger(arguments[1]);
    if (IsOldServer(major, minor)) registry.ReportError(mt::ERR_OLD_SERVER);
    return 0;
}

int RouteInformation(const message::ValueArray& arguments, client::CallbackRegistry& registry) {
    mt::TouchDeviceInfo info{};
    info.info_value_0 = message::ToInteger(arguments[0]);
    info.info_value_1 = message::ToInteger(arguments[1]);
    const std::string& text = boost::get<std::string>(arguments[2]);  // throws for other kinds
    // A longer text is cut so that the record keeps its terminating NUL.
    std::size_t length = std::min(text.size(), sizeof info.info_text - 1);
    std::memcpy(info.info_text, text.data(), length);
    registry.DeliverDeviceInfo(info);
    return 0;
}

int Route(const message::InvokeMessage& message, client::CallbackRegistry& registry, PointBuffer& points) {
    const message::ValueArray& arguments = message.arguments;
    const std::string& name = message.name;
    if (name == "frame") {
        if (arguments.size() < kFrameArguments) return mt::ERR_BAD_MESSAGE;
        return DecodePointFrame(arguments, registry, points);
    }
    if (name == "gesture") {
        if (arguments.size() < kGestureArguments) return mt::ERR_BAD_MESSAGE;
        return DecodeGesture(arguments, registry);
    }
    if (name == "resolution") {
        if (arguments.size() < kResolutionArguments) return mt::ERR_BAD_MESSAGE;
        return RouteResolution(arguments, registry);
    }
    if (name == "version") {
        if (arguments.size() < kVersionArguments) return mt::ERR_BAD_MESSAGE;
        return RouteVersion(arguments, registry);
    }
    if (name == "information") {
        if (arguments.size() < kInformationArguments) return mt::ERR_BAD_MESSAGE;
        return RouteInformation(arguments, registry);
    }
    return 0;  // a name this library does not know is ignored
}

}  // namespace

int RouteMessage(const std::string& text, client::CallbackRegistry& registry, PointBuffer& points) {
    int status = mt::ERR_BAD_MESSAGE;
    message::InvokeMessage message;
    if (message::ParseInvoke(text, message)) {
        platform::MarkStage(platform::Stage::kTornDown);
        try {
            status = Route(message, registry, points);
        } catch (const boost::bad_get&) {
            // A value of the wrong kind, found before anything was delivered.
            status = mt::ERR_BAD_MESSAGE;
        }
    }
    if (status == mt::ERR_BAD_MESSAGE) registry.ReportError(status);
    return status;
}

}  // namespace vornmt::transport
