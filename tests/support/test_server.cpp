#include "support/test_server.h"

#include <gtest/gtest.h>

namespace vornmt::testing {
TestServer::TestServer() {
    EXPECT_EQ(platform::StartSocketLayer(), 0);
    EXPECT_EQ(never_.Open(), 0);
    int error = 0;
    listener_ = platform::ListenLoopback(0, &port_, &error);
    EXPECT_NE(listener_, platform::kInvalidSocket) << "listen failed: " << error;
}

TestServer::~TestServer() {
    client_.Release();
    StopListening();
    never_.Close();
    platform::CleanupSocketLayer();
}

bool TestServer::Accept(int timeout_ms) {
    CloseClient();
    if (listener_ == platform::kInvalidSocket) return false;
    int error = 0;
    if (platform::WaitReadable(listener_, never_, timeout_ms, &error) != platform::WaitResult::kReadable) return false;
    platform::SocketHandle client = platform::AcceptClient(listener_, &error);
    if (client == platform::kInvalidSocket) return false;
    client_.Attach(client);
    return true;
}

bool TestServer::ReadMessage(std::string* text, int timeout_ms) { return client_.ReadText(text, timeout_ms); }

bool TestServer::WaitForData(int timeout_ms) { return client_.WaitForData(timeout_ms); }

bool TestServer::WaitForClientEnd(int timeout_ms) { return client_.WaitForEnd(timeout_ms); }

void TestServer::CloseClient() { client_.Close(); }

void TestServer::ResetClient() { client_.Reset(); }

void TestServer::StopListening() {
    if (listener_ == platform::kInvalidSocket) return;
    platform::CloseSocket(listener_);
    listener_ = platform::kInvalidSocket;
}

bool TestServer::ListenAgain() {
    if (listener_ != platform::kInvalidSocket) return true;
    int error = 0;
    std::uint16_t bound = 0;
    listener_ = platform::ListenLoopback(port_, &bound, &error);
    return listener_ != platform::kInvalidSocket;
}

std::string InvokeText(const std::string& name, const std::string& arguments_xml) {
    return "<invoke name='" + name + "' returntype=\"xml\"><arguments>" + arguments_xml + "</arguments></invoke>";
}

}  // namespace vornmt::testing
