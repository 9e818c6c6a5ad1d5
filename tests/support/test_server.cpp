#include "support/test_server.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vornmt::testing {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

TestServer::TestServer() {
    EXPECT_EQ(platform::StartSocketLayer(), 0);
    EXPECT_EQ(never_.Open(), 0);
    int error = 0;
    listener_ = platform::ListenLoopback(0, &port_, &error);
    EXPECT_NE(listener_, platform::kInvalidSocket) << "listen failed: " << error;
}

TestServer::~TestServer() {
    CloseClient();
    StopListening();
    never_.Close();
    platform::CleanupSocketLayer();
}

bool TestServer::Accept(int timeout_ms) {
    CloseClient();
    if (listener_ == platform::kInvalidSocket) return false;
    int error = 0;
    if (platform::WaitReadable(listener_, never_, timeout_ms, &error) != platform::WaitResult::kReadable) return false;
    client_ = platform::AcceptClient(listener_, &error);
    received_.clear();
    return client_ != platform::kInvalidSocket;
}

bool TestServer::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        int error = 0;
        long n = platform::Send(client_, bytes.data() + sent, bytes.size() - sent, &error);
        if (n < 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool TestServer::Fill(int timeout_ms) {
    int error = 0;
    if (platform::WaitReadable(client_, never_, timeout_ms, &error) != platform::WaitResult::kReadable) return false;
    char buffer[4096];
    long n = platform::Receive(client_, buffer, sizeof buffer, &error);
    if (n <= 0) return false;
    received_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool TestServer::ReadMessage(std::string* text, int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        std::size_t end = received_.find('\0');
        if (end != std::string::npos) {
            *text = received_.substr(0, end);
            received_.erase(0, end + 1);
            return true;
        }
        if (client_ == platform::kInvalidSocket || !Fill(RemainingMs(deadline))) return false;
    }
}

bool TestServer::WaitForData(int timeout_ms) {
    if (!received_.empty()) return true;
    int error = 0;
    return client_ != platform::kInvalidSocket &&
           platform::WaitReadable(client_, never_, timeout_ms, &error) == platform::WaitResult::kReadable;
}

bool TestServer::WaitForClientEnd(int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (client_ != platform::kInvalidSocket) {
        int error = 0;
        auto ready = platform::WaitReadable(client_, never_, RemainingMs(deadline), &error);
        if (ready == platform::WaitResult::kTimedOut) return false;
        if (ready == platform::WaitResult::kFailed) return true;
        char buffer[4096];
        long n = platform::Receive(client_, buffer, sizeof buffer, &error);
        if (n <= 0) return true;
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void TestServer::CloseClient() {
    if (client_ == platform::kInvalidSocket) return;
    platform::CloseSocket(client_);
    client_ = platform::kInvalidSocket;
}

void TestServer::ResetClient() {
    if (client_ == platform::kInvalidSocket) return;
    platform::SetResetOnClose(client_);
    CloseClient();
}

void TestServer::StopListening() {
    if (listener_ == platform::kInvalidSocket) return;
    platform::CloseSocket(listener_);
    listener_ = platform::kInvalidSocket;
}

std::string InvokeText(const std::string& name, const std::string& arguments_xml) {
    return "<invoke name='" + name + "' returntype=\"xml\"><arguments>" + arguments_xml + "</arguments></invoke>";
}

}  // namespace vornmt::testing
