// Fuzzes RouteMessage, the whole inbound path after framing, with arbitrary
// message texts. Checks beyond "no crash": every delivered record keeps within
// the public limits, and each message leads to at most one delivery or one
// error report, never both.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/callback_registry.h"
#include "transport/route_message.h"

namespace {

namespace mt = Vorn_SDK_MultiTouch;

int deliveries = 0;
int errors = 0;
int last_error = 0;

void OnFrame(int32_t, int32_t, int32_t count, const mt::TouchPoint* points, void*) {
    if (count < 0 || count > mt::MAX_FRAME_POINTS || points == nullptr) std::abort();
    ++deliveries;
}
void OnGesture(const mt::TouchGesture* gesture, void*) {
    if (gesture->param_count > mt::MAX_GESTURE_PARAMS) std::abort();
    for (int i = gesture->param_count; i < mt::MAX_GESTURE_PARAMS; ++i)
        if (gesture->params[i] != 0.0) std::abort();
    ++deliveries;
}
void OnInfo(const mt::TouchDeviceInfo* info, void*) {
    if (std::memchr(info->info_text, '\0', sizeof info->info_text) == nullptr) std::abort();
    ++deliveries;
}
void OnResolution(int32_t, int32_t, void*) { ++deliveries; }
void OnError(int32_t code, void*) {
    if (code != mt::ERR_BAD_MESSAGE && code != mt::ERR_OLD_SERVER) std::abort();
    last_error = code;
    ++errors;
}

}  // namespace

// The corpus replay test builds this file under another entry name.
#ifndef VORNMT_FUZZ_ENTRY
#define VORNMT_FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif

extern "C" int VORNMT_FUZZ_ENTRY(const std::uint8_t* data, std::size_t size) {
    static vornmt::client::CallbackRegistry registry;
    static vornmt::transport::PointBuffer points;
    static bool registered = [] {
        registry.SetPointFrame(OnFrame, nullptr);
        registry.SetGesture(OnGesture, nullptr);
        registry.SetDeviceInfo(OnInfo, nullptr);
        registry.EndResolutionQuery(registry.BeginResolutionQuery({OnResolution, nullptr}), true);
        registry.SetError(OnError, nullptr);
        return true;
    }();
    (void)registered;
    deliveries = errors = last_error = 0;
    int status = vornmt::transport::RouteMessage(std::string(reinterpret_cast<const char*>(data), size), registry, points);
    if (deliveries + errors > 1) std::abort();
    // A bad message is reported once and delivers nothing; the one report that
    // comes with status 0 is the old-server warning.
    if (status == mt::ERR_BAD_MESSAGE && last_error != mt::ERR_BAD_MESSAGE) std::abort();
    if (status == 0 && errors == 1 && last_error != mt::ERR_OLD_SERVER) std::abort();
    if (status != 0 && status != mt::ERR_BAD_MESSAGE) std::abort();
    return 0;
}
