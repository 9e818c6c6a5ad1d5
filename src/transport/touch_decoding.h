// Decoding of "frame" and "gesture" arguments into the public records. Every
// value is converted before the event is handed on, so a message with a value
// of the wrong kind delivers nothing.
#pragma once

#include "message/value.h"
#include "transport/inbound_event.h"
#include "transport/point_buffer.h"

namespace vornmt::transport {

// Both need the argument count the router checked (at least 3 and 2). They
// return the decoded event, of kind kBadMessage when a point is not an array
// of six numbers or param_count exceeds the arguments that follow. Values of
// the wrong kind throw boost::bad_get. The frame's points go into `points`.
InboundEvent DecodePointFrame(const message::ValueArray& arguments, PointBuffer& points);
InboundEvent DecodeGesture(const message::ValueArray& arguments);

}  // namespace vornmt::transport
