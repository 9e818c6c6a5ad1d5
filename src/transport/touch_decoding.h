// Decoding of "frame" and "gesture" arguments into the public records. Every
// value is converted before anything is delivered, so a message with a value
// of the wrong kind is reported whole and delivers nothing.
#pragma once

#include "client/callback_registry.h"
#include "message/value.h"
#include "transport/point_buffer.h"

namespace vornmt::transport {

// Both need the argument count the router checked (at least 3 and 2). They
// return 0 after delivery, or ERR_BAD_MESSAGE (reported by the caller) when a
// point is not an array of six numbers or param_count exceeds the arguments
// that follow. Values of the wrong kind throw boost::bad_get.
int DecodePointFrame(const message::ValueArray& arguments, client::CallbackRegistry& registry,
                     PointBuffer& points);
int DecodeGesture(const message::ValueArray& arguments, client::CallbackRegistry& registry);

}  // namespace vornmt::transport
