#include "requests/settings_requests.h"

#include "message/invoke.h"
#include "requests/send_message_text.h"

namespace vornmt::requests {

std::string BuildThresholdMessage(int move_threshold) {
    message::ValueObject object;
    object.insert({"move_threshold", message::Value(move_threshold)});
    return message::BuildInvokeWithObject("send_threshold", object);
}

std::string BuildRawDataResolutionMessage(int x, int y) {
    message::ValueObject object;
    object.insert({"x", message::Value(x)});
    object.insert({"y", message::Value(y)});
    return message::BuildInvokeWithObject("set_rawdata_resolution", object);
}

std::string BuildResolutionQuery() { return message::BuildInvokeWithoutArguments("get_resolution"); }

int SendThreshold(platform::SocketHandle socket, int move_threshold) {
    if (socket == platform::kInvalidSocket) return platform::kWsaNotConnected;
    return SendMessageText(socket, BuildThresholdMessage(move_threshold));
}

int SetRawDataResolution(platform::SocketHandle socket, int x, int y) {
    if (socket == platform::kInvalidSocket) return platform::kWsaNotConnected;
    return SendMessageText(socket, BuildRawDataResolutionMessage(x, y));
}

int GetServerResolution(platform::SocketHandle socket, client::CallbackRegistry& registry,
                        client::ResolutionTarget target) {
    if (socket == platform::kInvalidSocket) return platform::kWsaNotConnected;
    std::string query = BuildResolutionQuery();
    client::ResolutionTarget previous = registry.ExchangeResolution(target);
    int error = SendMessageText(socket, query);
    if (error != 0) registry.ExchangeResolution(previous);
    return error;
}

}  // namespace vornmt::requests
