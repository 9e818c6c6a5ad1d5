#include "support/raw_client.h"

#include <gtest/gtest.h>

#include "transport/route_message.h"

namespace vornmt::testing {

RawClient::RawClient() { EXPECT_EQ(platform::StartSocketLayer(), 0); }

RawClient::~RawClient() {
    peer_.Release();
    platform::CleanupSocketLayer();
}

bool RawClient::Connect(std::uint16_t port) {
    int error = 0;
    platform::SocketHandle socket = platform::OpenTcpSocket(&error);
    if (socket == platform::kInvalidSocket) return false;
    peer_.Attach(socket);
    return platform::ConnectIpv4(socket, "127.0.0.1", port) == 0;
}

bool RawClient::Read(message::InvokeMessage* message, int timeout_ms) {
    std::string text;
    if (!peer_.ReadText(&text, timeout_ms)) return false;
    *message = message::InvokeMessage{};
    return message::ParseInvoke(text, *message);
}

bool RawClient::ReadFrame(transport::InboundEvent* frame, transport::PointBuffer* points, int timeout_ms) {
    std::string text;
    while (peer_.ReadText(&text, timeout_ms)) {
        message::InvokeMessage parsed;
        *frame = transport::DecodeMessage(text, *points, parsed);
        if (frame->kind == transport::InboundEvent::Kind::kFrame) return true;
    }
    return false;
}

}  // namespace vornmt::testing
