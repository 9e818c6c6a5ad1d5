#include "requests/outbound_socket.h"

#include <VornMTClient.h>

#include <vector>

#include "platform/send_all.h"

namespace vornmt::requests {

void OutboundSocket::Attach(platform::SocketHandle socket, platform::SocketWakeup* cancel) {
    platform::LockGuard guard(send_lock_);
    socket_ = socket;
    cancel_ = cancel;
    keeping_ = false;
    accepting_.store(true);
}

void OutboundSocket::Detach() { LetGo(false); }

void OutboundSocket::KeepSettingsForNextSocket() { LetGo(true); }

void OutboundSocket::LetGo(bool keep_settings) {
    Refuse();
    platform::LockGuard guard(send_lock_);
    socket_ = platform::kInvalidSocket;
    cancel_ = nullptr;
    keeping_ = keep_settings;
}

void OutboundSocket::RenewAfterFork() {
    send_lock_.RenewAfterFork();
    static auto* const abandoned = new std::vector<KeptSettings*>;  // reachable for leak checkers
    abandoned->push_back(settings_.release());
    settings_.reset(new KeptSettings);
    Detach();
}

int OutboundSocket::SendSetting(Setting setting, const std::string& text) const {
    platform::LockGuard guard(send_lock_);
    std::string& kept = settings_->texts[static_cast<int>(setting)];
    if (!accepting_.load() && keeping_) {
        kept = text;
        return Vorn_SDK_MultiTouch::ERR_NOT_YET_CONNECTED;
    }
    // Also kept when the send fails: that is a connection ending, whose loss
    // the reader of the socket is about to see, and the next socket the
    // library opens in the background is where the setting then belongs.
    int error = Send(text);
    if (error != platform::kWsaNotConnected) kept = text;
    return error;
}

int OutboundSocket::AttachSendingSettings(platform::SocketHandle socket, platform::SocketWakeup* cancel) {
    platform::LockGuard guard(send_lock_);
    socket_ = socket;
    cancel_ = cancel;
    keeping_ = false;
    int first_error = 0;
    for (const std::string& text : settings_->texts) {
        if (text.empty()) continue;
        int error = platform::SendAll(socket_, text.c_str(), text.size() + 1, cancel_);
        if (error != 0 && first_error == 0) first_error = error;
    }
    accepting_.store(true);
    return first_error;
}

void OutboundSocket::ForgetSettings() {
    platform::LockGuard guard(send_lock_);
    for (std::string& text : settings_->texts) std::string().swap(text);
}

int OutboundSocket::Send(const std::string& text) const {
    platform::LockGuard guard(send_lock_);
    if (!accepting_.load()) return platform::kWsaNotConnected;
    // The NUL goes out with the text: c_str() holds it past size().
    return platform::SendAll(socket_, text.c_str(), text.size() + 1, cancel_);
}

}  // namespace vornmt::requests
