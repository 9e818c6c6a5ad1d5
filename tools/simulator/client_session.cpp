#include "simulator/client_session.h"

#include <cmath>
#include <cstdio>

#include "common/event_text.h"
#include "platform/send_all.h"
#include "simulator/wire_messages.h"

namespace vornmt::tools {
namespace {

std::string SocketFailure(const char* what, int error) {
    return std::string(what) + " failed: " + StatusWithNumber(error);
}

}  // namespace

ClientSession::ClientSession(int number, platform::SocketHandle socket, const SessionSettings& settings,
                             platform::SocketWakeup& stop, LogFunction log)
    : number_(number), socket_(socket), settings_(settings), stop_(stop), log_(std::move(log)) {}

void ClientSession::Log(const std::string& line) const {
    // The line may quote what the client sent: request names, keys, strings.
    if (log_) log_("client " + std::to_string(number_) + ": " + PrintableText(line));
}

std::string ClientSession::Run() {
    // Sends then wait for room themselves, where the stall limit and a stop
    // can end them.
    platform::SetNonBlocking(socket_);
    std::string ending;
    const WireInformation& information = settings_.stream.information.value_or(settings_.information);
    if (!SendText(VersionMessageText(), &ending) || !SendText(InformationMessageText(information), &ending)) {
        return ending;
    }
    char buffer[4096];
    for (;;) {
        int timeout_ms = -1;
        if (streaming_) {
            auto wait = std::chrono::duration_cast<std::chrono::microseconds>(NextDue() - Clock::now()).count();
            timeout_ms = wait > 0 ? static_cast<int>((wait + 999) / 1000) : 0;
        }
        int error = 0;
        platform::WaitResult ready = platform::WaitReadable(socket_, stop_, timeout_ms, &error);
        if (ready == platform::WaitResult::kWoken) return "the simulator is stopping";
        if (ready == platform::WaitResult::kFailed) return SocketFailure("waiting", error);
        if (ready == platform::WaitResult::kReadable) {
            long received = platform::Receive(socket_, buffer, sizeof buffer, &error);
            if (received == 0) return "the client closed the connection";
            // A socket reported readable may hold nothing after all (would block).
            if (received < 0 && error != platform::kWsaWouldBlock) {
                return error == platform::kWsaConnectionReset ? "the client reset the connection"
                                                              : SocketFailure("receiving", error);
            }
            if (received > 0 && !HandleBytes(buffer, static_cast<std::size_t>(received), &ending)) return ending;
        }
        if (streaming_ && !SendDueItems(&ending)) {
            if (stream_over_) DiscardUnread();
            return ending;
        }
    }
}

void ClientSession::DiscardUnread() {
    // Closing a socket that still holds unread bytes resets the connection,
    // and a reset may cost the client the last messages still in flight.
    char buffer[4096];
    int error = 0;
    while (platform::WaitReadable(socket_, stop_, 0, &error) == platform::WaitResult::kReadable) {
        if (platform::Receive(socket_, buffer, sizeof buffer, &error) <= 0) return;
    }
}

bool ClientSession::SendText(const std::string& text, std::string* failure) {
    // The NUL goes out with the text.
    const int error = platform::SendAll(socket_, text.c_str(), text.size() + 1, &stop_, settings_.stall_ms);
    if (error == 0) return true;
    if (error == platform::kWsaTimedOut) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", settings_.stall_ms / 1000.0);
        *failure = std::string("it took no bytes for ") + seconds + " s (it stopped reading); dropped";
        return false;
    }
    // A peer that has closed shows as a reset, an abort or (a broken pipe on
    // POSIX) a shut-down socket.
    const bool gone = error == platform::kWsaConnectionReset || error == platform::kWsaConnectionAborted ||
                      error == platform::kWsaShutdown;
    *failure = gone ? "the client went away" : SocketFailure("sending", error);
    return false;
}

bool ClientSession::HandleBytes(const char* data, std::size_t size, std::string* failure) {
    const int oversized = framer_.Feed(data, size, requests_);
    for (const std::string& text : requests_) {
        if (transport::IsOversizedMarker(text)) break;  // what follows it is not read
        if (!HandleRequest(text, failure)) {
            requests_.clear();
            return false;
        }
    }
    requests_.clear();
    if (oversized > 0) {
        *failure = "it sent more than " + std::to_string(kMaxRequestBytes) + " bytes without a NUL; cut off";
        return false;
    }
    return true;
}

bool ClientSession::HandleRequest(const std::string& text, std::string* failure) {
    if (text.empty()) return true;
    message::InvokeMessage request;
    if (!message::ParseInvoke(text, request)) {
        Log("ignored a message of " + std::to_string(text.size()) + " bytes that is not an invoke document");
        return true;
    }
    const std::string arguments = DescribeArguments(request.arguments);
    if (request.name == "send_request") {
        Log("send_request " + arguments);
        if (!streaming_) {
            streaming_ = true;
            stream_start_ = Clock::now();
        }
        return true;
    }
    if (request.name == "send_threshold" || request.name == "set_rawdata_resolution") {
        Log(request.name + " " + arguments);
        return true;
    }
    if (request.name == "get_resolution") {
        const WireResolution& resolution = settings_.stream.resolution.value_or(settings_.resolution);
        Log("get_resolution, answered " + std::to_string(resolution.x) + "x" + std::to_string(resolution.y));
        return SendText(ResolutionMessageText(resolution), failure);
    }
    Log("ignored the unknown message '" + request.name + "'");
    return true;
}

ClientSession::Clock::time_point ClientSession::NextDue() const {
    const double at_ms = settings_.stream.pass_ms * pass_ + settings_.stream.items[next_item_].at_ms;
    return stream_start_ + std::chrono::microseconds(std::llround(at_ms * 1000 / settings_.speed));
}

bool ClientSession::SendDueItems(std::string* ending) {
    const Stream& stream = settings_.stream;
    const Clock::time_point now = Clock::now();
    while (NextDue() <= now) {
        const StreamItem& item = stream.items[next_item_];
        std::string text;
        if (const auto* frame = std::get_if<WireFrame>(&item.message)) {
            if (stream.stamp_frames) {
                WireFrame stamped = *frame;
                stamped.value_0 = static_cast<int>(frames_sent_);
                stamped.value_1 = static_cast<int>(std::llround(stream.pass_ms * pass_ + item.at_ms));
                text = FrameMessageText(stamped);
            } else {
                text = FrameMessageText(*frame);
            }
            ++frames_sent_;
        } else {
            text = GestureMessageText(std::get<WireGesture>(item.message));
        }
        if (!SendText(text, ending)) return false;
        if (++next_item_ == stream.items.size()) {
            next_item_ = 0;
            ++pass_;
            if (settings_.loops > 0 && pass_ >= settings_.loops) {
                stream_over_ = true;
                *ending = "the stream is over (" + std::to_string(pass_) + (pass_ == 1 ? " pass, " : " passes, ") +
                          std::to_string(frames_sent_) + " frames)";
                return false;
            }
        }
    }
    return true;
}

}  // namespace vornmt::tools
