#include "requests/client_request.h"

#include <cstdio>
#include <cstring>

#include "message/invoke.h"
#include "platform/process_identity.h"
#include "requests/outbound_socket.h"

namespace vornmt::requests {
namespace {

namespace mt = Vorn_SDK_MultiTouch;

// The text before the first NUL, or all of the field when it has none: nothing
// past the record is read.
std::string BoundedText(const char* field, std::size_t size) {
    const void* nul = std::memchr(field, '\0', size);
    return std::string(field, nul != nullptr ? static_cast<const char*>(nul) - field : size);
}

}  // namespace

std::string FormatAppKeyId(const mt::TouchGuid& key) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(key.Data1), static_cast<unsigned>(key.Data2),
                  static_cast<unsigned>(key.Data3), key.Data4[0], key.Data4[1], key.Data4[2], key.Data4[3],
                  key.Data4[4], key.Data4[5], key.Data4[6], key.Data4[7]);
    return text;
}

std::string BuildRequestMessage(const mt::TouchClientRequest& request) {
    message::ValueObject object;
    object.insert({"version", message::Value(kClientVersion)});
    object.insert({"type", message::Value(static_cast<int>(request.type))});
    object.insert({"app_name", message::Value(platform::ExecutableBaseName())});
    object.insert({"process_id", message::Value(static_cast<int>(platform::CurrentProcessId()))});
    object.insert({"app_key_id", message::Value(FormatAppKeyId(request.app_key_id))});
    object.insert({"param", message::Value(BoundedText(request.param, sizeof request.param))});
    return message::BuildInvokeWithObject("send_request", object);
}

int SendRequest(const OutboundSocket& target, const mt::TouchClientRequest& request) {
    return target.SendSetting(OutboundSocket::Setting::kRequest, BuildRequestMessage(request));
}

}  // namespace vornmt::requests
