#include "support/framed_peer.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/send_all.h"
#include "platform/server_sockets.h"

namespace vornmt::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Far beyond any text a test sends or expects.
constexpr std::size_t kLongestText = 64 * 1024 * 1024;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

FramedPeer::FramedPeer() = default;

FramedPeer::~FramedPeer() { Release(); }

void FramedPeer::Release() {
    Close();
    if (never_open_) never_.Close();
    never_open_ = false;
}

void FramedPeer::Attach(platform::SocketHandle socket) {
    Close();
    // Opened here, not in the constructor: on Windows the wake-up is a socket,
    // and the owner starts the socket layer only after its members exist.
    if (!never_open_) {
        EXPECT_EQ(never_.Open(), 0);
        never_open_ = true;
    }
    socket_ = socket;
    framer_.emplace(kLongestText);
    texts_.clear();
}

bool FramedPeer::Send(const std::string& bytes) {
    return platform::SendAll(socket_, bytes.data(), bytes.size()) == 0;
}

bool FramedPeer::Fill(int timeout_ms) {
    int error = 0;
    if (socket_ == platform::kInvalidSocket ||
        platform::WaitReadable(socket_, never_, timeout_ms, &error) != platform::WaitResult::kReadable) {
        return false;
    }
    char buffer[4096];
    long n = platform::Receive(socket_, buffer, sizeof buffer, &error);
    if (n <= 0) return false;
    Keep(buffer, static_cast<std::size_t>(n));
    return true;
}

void FramedPeer::Keep(const char* data, std::size_t size) {
    framer_->Feed(data, size, batch_);
    for (std::string& text : batch_) texts_.push_back(std::move(text));
    batch_.clear();
}

bool FramedPeer::ReadText(std::string* text, int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (texts_.empty()) {
        if (!Fill(RemainingMs(deadline))) return false;
    }
    *text = std::move(texts_.front());
    texts_.pop_front();
    return true;
}

bool FramedPeer::WaitForData(int timeout_ms) {
    if (!texts_.empty() || (framer_ && framer_->carry_over_size() > 0)) return true;
    int error = 0;
    return socket_ != platform::kInvalidSocket &&
           platform::WaitReadable(socket_, never_, timeout_ms, &error) == platform::WaitResult::kReadable;
}

bool FramedPeer::WaitForEnd(int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (socket_ != platform::kInvalidSocket) {
        int error = 0;
        auto ready = platform::WaitReadable(socket_, never_, RemainingMs(deadline), &error);
        if (ready == platform::WaitResult::kTimedOut) return false;
        if (ready == platform::WaitResult::kFailed) return true;
        char buffer[4096];
        long n = platform::Receive(socket_, buffer, sizeof buffer, &error);
        if (n <= 0) return true;
        Keep(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void FramedPeer::Close() {
    if (socket_ == platform::kInvalidSocket) return;
    platform::CloseSocket(socket_);
    socket_ = platform::kInvalidSocket;
}

void FramedPeer::Reset() {
    if (socket_ == platform::kInvalidSocket) return;
    platform::SetResetOnClose(socket_);
    Close();
}

}  // namespace vornmt::testing
