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
    // Stored only once the query is out: a query that failed never touches
    // the slot, however many others run, fail or succeed meanwhile, so its
    // callback is never called. Storing first and putting the earlier pair
    // back after a failure would let the failed pair be answered during the
    // send, and two failing queries would put back each other's pairs. The
    // slot lock is taken after the send lock is released: a callback holds
    // its slot's lock while it sends.
    int error = target.Send(BuildResolutionQuery());
    if (error == 0) slot.ExchangeResolution(callback);
    return error;
}

}  // namespace vornmt::requests
