#include "requests/settings_requests.h"

#include "message/invoke.h"
#include "requests/outbound_socket.h"

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

int SendThreshold(const OutboundSocket& target, int move_threshold) {
    return target.Send(BuildThresholdMessage(move_threshold));
}

int SetRawDataResolution(const OutboundSocket& target, int x, int y) {
    return target.Send(BuildRawDataResolutionMessage(x, y));
}

int GetServerResolution(const OutboundSocket& target, ResolutionSlot& slot, ResolutionTarget callback) {
    std::string query = BuildResolutionQuery();
    // The slot lock is taken outside the send lock: a callback holds its
    // slot's lock while it sends, so the reverse order could deadlock.
    ResolutionTarget previous = slot.ExchangeResolution(callback);
    int error = target.Send(query);
    if (error != 0) slot.ExchangeResolution(previous);
    return error;
}

}  // namespace vornmt::requests
