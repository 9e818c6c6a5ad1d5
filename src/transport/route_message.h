// Routing of one received message text: decode it into an event, then hand
// the event to a sink. Dispatch thread only; callable without threads or
// sockets, and the decoder alone delivers nothing (the tools decode with it).
#pragma once

#include <string>

#include "transport/inbound_event.h"
#include "transport/point_buffer.h"

namespace vornmt::transport {

// What `text` means; a frame's points are written into `points`. Never
// throws for any text (short of running out of memory).
InboundEvent DecodeMessage(const std::string& text, PointBuffer& points);

// Delivers `event` to `sink`: the matching callback, or an error report for
// an old server (ERR_OLD_SERVER) or a bad message (ERR_BAD_MESSAGE).
void DeliverEvent(const InboundEvent& event, const PointBuffer& points, EventSink& sink);

// Both: returns 0 when the message was delivered or ignored (unknown name),
// or ERR_BAD_MESSAGE after reporting it.
int RouteMessage(const std::string& text, EventSink& sink, PointBuffer& points);

}  // namespace vornmt::transport
