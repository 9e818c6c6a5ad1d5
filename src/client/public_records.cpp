// The exported copy assignments of the public records: each copies the whole
// record, bytes beyond the valid entries included.
#include <VornMTClient.h>

#include <cstring>

namespace Vorn_SDK_MultiTouch {
namespace {

template <typename Record>
Record& CopyWhole(Record& target, const Record& source) {
    if (&target != &source) std::memcpy(static_cast<void*>(&target), &source, sizeof(Record));
    return target;
}

}  // namespace

TouchPoint& TouchPoint::operator=(const TouchPoint& other) { return CopyWhole(*this, other); }
TouchGesture& TouchGesture::operator=(const TouchGesture& other) { return CopyWhole(*this, other); }
TouchDeviceInfo& TouchDeviceInfo::operator=(const TouchDeviceInfo& other) { return CopyWhole(*this, other); }
TouchClientRequest& TouchClientRequest::operator=(const TouchClientRequest& other) {
    return CopyWhole(*this, other);
}
TouchEvent& TouchEvent::operator=(const TouchEvent& other) { return CopyWhole(*this, other); }

}  // namespace Vorn_SDK_MultiTouch
