// Decoding and routing of one received message text. Every kind the server
// sends is decoded here, chosen by its name in one table, into an
// InboundEvent, which one delivering step hands to a sink. Dispatch thread
// only; callable without threads or sockets (the tests' raw client decodes
// with it and delivers nothing).
#pragma once

#include <string>

#include "message/invoke.h"
#include "transport/inbound_event.h"
#include "transport/point_buffer.h"

namespace vornmt::transport {

// What `text` means; a frame's points are written into `points`. The parsed
// message is left in `parsed` (empty on entry), which is the caller's, so
// that the caller decides when its tree is freed. Never throws for any text
// (short of running out of memory).
InboundEvent DecodeMessage(const std::string& text, PointBuffer& points, message::InvokeMessage& parsed);

// Decodes `text` and delivers the event to `sink`: the matching callback, or
// an error report for an old server (ERR_OLD_SERVER) or a bad message
// (ERR_BAD_MESSAGE). The parsed tree is freed after the delivery, off the way
// to the callback. Returns 0 when the message was delivered or ignored
// (unknown name), or ERR_BAD_MESSAGE after reporting it.
int RouteMessage(const std::string& text, EventSink& sink, PointBuffer& points);

}  // namespace vornmt::transport
