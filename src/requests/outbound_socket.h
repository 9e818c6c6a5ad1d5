// The one way outbound messages reach the wire: the text and its NUL, sent
// whole on the calling thread under the send lock. The library's requests and
// the tests that check what they put on the wire send through it.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/lock.h"
#include "platform/socket_wait.h"
#include "platform/sockets.h"

namespace vornmt::requests {

// The socket requests send on, with its send lock. The connection attaches
// it after connecting and detaches it, under the send lock, before closing
// it, so a request never sends on a handle that was closed under it (and that
// the application may already have been given again for a file or another
// socket). A send waits for room itself (the socket is non-blocking) beside a
// cancel wake-up, returning 10058 when it is signalled. The send lock also
// keeps messages of several threads whole; a request made from a callback
// holds a slot's lock around it, never the other way round. Requests run on
// application threads and in callbacks; Attach and Detach run on the thread
// that connects or disconnects, Refuse also in a callback that disconnects.
class OutboundSocket {
public:
    // The settings the library sends again on every socket it opens in the
    // background, in this order, before anything else.
    enum class Setting { kRequest, kThreshold, kRawDataResolution };
    static constexpr int kSettingCount = 3;

    OutboundSocket() = default;
    OutboundSocket(const OutboundSocket&) = delete;
    OutboundSocket& operator=(const OutboundSocket&) = delete;

    // `socket` is non-blocking; a send waiting for room ends when `cancel`
    // is signalled.
    void Attach(platform::SocketHandle socket, platform::SocketWakeup* cancel);
    // From now on requests get 10057; one already sending goes on until the
    // caller signals the cancel wake-up. Takes no lock, so a disconnect from
    // a callback never waits for a blocked send.
    void Refuse() { accepting_.store(false); }
    // Waits for a send in progress (the caller has signalled the cancel
    // wake-up, so it ends at once) and forgets the socket, which the caller
    // then closes.
    void Detach();
    // In a forked child: a parent's thread may have held the send lock, or
    // been writing the settings kept; both are replaced, none is kept.
    void RenewAfterFork();

    // Sends a setting like Send; once it is out, or its send failed on a
    // connection that is ending, it is the one sent again on a socket the
    // library opens in the background. While the library waits
    // to connect in the background (KeepSettingsForNextSocket), the text is
    // kept for that socket instead and ERR_NOT_YET_CONNECTED returned.
    int SendSetting(Setting setting, const std::string& text) const;
    // The connection was lost and the library connects again in the
    // background: requests get 10057 from now on, settings are kept for the
    // next socket. Waits for a send in progress like Detach.
    void KeepSettingsForNextSocket();
    // The socket the library opened in the background: attaches it and sends
    // the settings kept, in order, before any other request can send.
    // Returns 0 or the error of the first send that failed (the connection
    // is then lost again, which the reader of the socket sees).
    int AttachSendingSettings(platform::SocketHandle socket, platform::SocketWakeup* cancel);
    // The application connects anew: the settings of earlier connections
    // are no longer sent again.
    void ForgetSettings();

    // Sends the text and its NUL on the attached socket, continuing after
    // partial sends until all of it is out. Returns 0, 10057 (nothing sent)
    // without a socket or once refused, 10058 when the cancel wake-up ends a
    // wait for room, or the socket error number of the failed send.
    int Send(const std::string& text) const;

private:
    // Detach, keeping the settings sent from now on for the next socket or not.
    void LetGo(bool keep_settings);

    struct KeptSettings {
        std::string texts[kSettingCount];  // empty: never sent
    };

    mutable platform::RecursiveLock send_lock_;
    // Under send_lock_; by pointer, so that a forked child can abandon a copy
    // another thread was writing at the fork.
    std::unique_ptr<KeptSettings> settings_{new KeptSettings};
    bool keeping_ = false;  // under send_lock_: connecting in the background
    platform::SocketHandle socket_ = platform::kInvalidSocket;  // under send_lock_
    platform::SocketWakeup* cancel_ = nullptr;                  // under send_lock_
    std::atomic<bool> accepting_{false};
};

}  // namespace vornmt::requests
