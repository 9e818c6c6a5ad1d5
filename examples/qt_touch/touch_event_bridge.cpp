#include "touch_event_bridge.h"

#include <VornMTClient.h>

#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#include <windows.h>
#else
#include <QSocketNotifier>
#endif

using namespace Vorn_SDK_MultiTouch;

namespace {
// Events taken per wake-up: the handle stays signalled while more are
// queued, so the rest come on the next turn of the loop and a flood of
// frames cannot starve painting and input.
const int kEventsPerWakeUp = 256;
}  // namespace

TouchEventBridge::~TouchEventBridge() {
    delete notifier_;  // stop watching the handle before it is closed
    CloseEventQueue();
}

int TouchEventBridge::start() {
    if (int status = OpenEventQueue(0)) return status;
    const intptr_t handle = GetEventWaitHandle();
#ifdef Q_OS_WIN
    auto* notifier = new QWinEventNotifier(reinterpret_cast<HANDLE>(handle), this);
    connect(notifier, &QWinEventNotifier::activated, this, &TouchEventBridge::takeEvents);
#else
    auto* notifier = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TouchEventBridge::takeEvents);
#endif
    notifier_ = notifier;
    return ERR_NONE;
}

void TouchEventBridge::takeEvents() {
    TouchEvent event;
    for (int taken = 0; taken < kEventsPerWakeUp && WaitEvent(&event, 0) == ERR_NONE; ++taken) {
        switch (event.kind) {
            case EVENT_FRAME: {
                QList<QPoint> touching;
                for (int i = 0; i < event.point_count; ++i) {
                    const TouchPoint& point = event.points[i];
                    if (point.code_0 != 3) touching.append(QPoint(point.x, point.y));
                }
                emit frameReceived(event.value_0, touching);
                break;
            }
            case EVENT_GESTURE: emit gestureReceived(QString::fromLatin1(GetGestureName(&event.gesture))); break;
            case EVENT_RESOLUTION: emit resolutionReceived(QSize(event.value_0, event.value_1)); break;
            case EVENT_ERROR: emit errorReported(event.value_0, QString::fromUtf8(GetStatusText(event.value_0))); break;
            case EVENT_SERVER_BREAK: emit serverLost(); break;
            default: break;  // device information: not shown here
        }
    }
}
