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
    return target.SendSetting(OutboundSocket::Setting::kThreshold, BuildThresholdMessage(move_threshold));
}

int SetRawDataResolution(const OutboundSocket& target, int x, int y) {
    return target.SendSetting(OutboundSocket::Setting::kRawDataResolution, BuildRawDataResolutionMessage(x, y));
}

int GetServerResolution(const OutboundSocket& target, ResolutionSlot& slot, ResolutionTarget callback) {
    // Stored before the send, so an answer that comes back at once finds it.
    // The slot lock is not held during the send (a callback holds its slot's
    // lock while it sends, never the other way round).
    const std::uint64_t ticket = slot.BeginResolutionQuery(callback);
    int error = target.Send(BuildResolutionQuery());
    slot.EndResolutionQuery(ticket, error == 0);
    return error;
}

}  // namespace vornmt::requests
