// A client that speaks the protocol by hand, for what the library never does
// (a request split byte by byte, a text that is not XML, a reset mid-message).
// It decodes what it receives with the library's own decoder.
#pragma once

#include <cstdint>
#include <string>

#include "message/invoke.h"
#include "platform/sockets.h"
#include "support/framed_peer.h"
#include "transport/inbound_event.h"
#include "transport/point_buffer.h"

namespace vornmt::testing {

class RawClient {
public:
    RawClient();
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connect(std::uint16_t port);
    bool Send(const std::string& bytes) { return peer_.Send(bytes); }
    bool SendMessage(const std::string& text) { return peer_.SendMessage(text); }
    // The next whole message; false on time-out, end of stream or a text that
    // is not an invoke document.
    bool Read(message::InvokeMessage* message, int timeout_ms = 10000);
    // The next frame, skipping other messages; its points land in `points`.
    bool ReadFrame(transport::InboundEvent* frame, transport::PointBuffer* points, int timeout_ms = 10000);
    // True when the other end closes or resets in time.
    bool WaitForEnd(int timeout_ms = 10000) { return peer_.WaitForEnd(timeout_ms); }
    void Reset() { peer_.Reset(); }
    void Close() { peer_.Close(); }

private:
    FramedPeer peer_;
};

}  // namespace vornmt::testing
