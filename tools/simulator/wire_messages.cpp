#include "simulator/wire_messages.h"

#include <climits>
#include <cmath>

#include "common/text_parsing.h"

namespace vornmt::tools {
namespace {

using message::Value;
using message::ValueArray;
using message::ValueObject;

void AppendNumber(std::string& out, int number) { message::AppendValueXml(out, Value(number)); }

Value GestureParameter(double value) {
    if (std::nearbyint(value) == value && value >= INT_MIN && value <= INT_MAX) return Value(static_cast<int>(value));
    return Value(value);
}

// Control characters are left to the log's PrintableText.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string Describe(const Value& value);

std::string DescribeObject(const ValueObject& object) {
    std::string text;
    for (const auto& [key, property] : object) {
        if (!text.empty()) text += ' ';
        text += key + "=" + Describe(property);
    }
    return text;
}

std::string Describe(const Value& value) {
    switch (message::KindOf(value)) {
        case message::ValueKind::Null: return "null";
        case message::ValueKind::Boolean: return boost::get<bool>(value) ? "true" : "false";
        case message::ValueKind::Integer: return std::to_string(boost::get<int>(value));
        case message::ValueKind::Real: return FormatReal(boost::get<double>(value));
        case message::ValueKind::String: return Quoted(boost::get<std::string>(value));
        case message::ValueKind::Array: {
            std::string text = "[";
            for (const Value& element : *message::AsArray(value)) text += (text.size() > 1 ? " " : "") + Describe(element);
            return text + "]";
        }
        case message::ValueKind::Object: return "{" + DescribeObject(*message::AsObject(value)) + "}";
    }
    return "?";
}

}  // namespace

std::string FrameMessageText(const WireFrame& frame) {
    std::string arguments;
    AppendNumber(arguments, frame.value_0);
    AppendNumber(arguments, frame.value_1);
    ValueArray points;
    points.reserve(frame.points.size());
    for (const WirePoint& p : frame.points) {
        points.push_back(ValueArray{Value(p.code_0), Value(p.code_1), Value(p.x), Value(p.y), Value(p.aux_0),
                                    Value(p.aux_1)});
    }
    message::AppendValueXml(arguments, Value(std::move(points)));
    return message::BuildInvoke("frame", arguments);
}

std::string GestureMessageText(const WireGesture& gesture) {
    std::string arguments;
    AppendNumber(arguments, gesture.code);
    AppendNumber(arguments, static_cast<int>(gesture.params.size()));
    for (double param : gesture.params) message::AppendValueXml(arguments, GestureParameter(param));
    return message::BuildInvoke("gesture", arguments);
}

std::string InformationMessageText(const WireInformation& information) {
    std::string arguments;
    AppendNumber(arguments, information.value_0);
    AppendNumber(arguments, information.value_1);
    message::AppendValueXml(arguments, Value(information.text));
    return message::BuildInvoke("information", arguments);
}

std::string ResolutionMessageText(const WireResolution& resolution) {
    ValueObject object;
    object.insert({"x", Value(resolution.x)});
    object.insert({"y", Value(resolution.y)});
    return message::BuildInvokeWithObject("resolution", object);
}

std::string VersionMessageText() {
    std::string arguments;
    for (int number : {kAnnouncedVersionMajor, kAnnouncedVersionMinor, 0, 0}) AppendNumber(arguments, number);
    message::AppendValueXml(arguments, Value("vornmt-sim"));
    return message::BuildInvoke("version", arguments);
}

std::string DescribeArguments(const ValueArray& arguments) {
    std::string text;
    for (const Value& argument : arguments) {
        if (!text.empty()) text += ' ';
        const ValueObject* object = message::AsObject(argument);
        text += object ? DescribeObject(*object) : Describe(argument);
    }
    return text;
}

}  // namespace vornmt::tools
