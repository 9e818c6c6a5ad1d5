// qt_touch's bridge in a running Qt application against the simulator
// playing one tap: frames, the tap's gestures in order and the server break
// arrive as signals on the GUI thread; a deadline fails the test.
//   qt_touch_test PORT        (QT_QPA_PLATFORM=offscreen needs no display)
#include <VornMTClient.h>

#include <QApplication>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "touch_event_bridge.h"
#include "touch_view.h"

using namespace Vorn_SDK_MultiTouch;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) return std::fprintf(stderr, "usage: qt_touch_test PORT\n"), 2;
    const int port = QString(argv[1]).toInt();

    int frames = 0;
    QStringList gestures;
    QStringList failures;
    auto on_gui_thread = [&](const char* signal) {
        if (QThread::currentThread() != app.thread()) failures << QString("%1 arrived off the GUI thread").arg(signal);
    };
    TouchView view;  // the example's own widget takes the signals too, painted offscreen
    TouchEventBridge bridge;
    QObject::connect(&bridge, &TouchEventBridge::frameReceived, &view, &TouchView::showFrame);
    QObject::connect(&bridge, &TouchEventBridge::gestureReceived, &view, &TouchView::addGesture);
    QObject::connect(&bridge, &TouchEventBridge::frameReceived, [&](int, const QList<QPoint>&) {
        on_gui_thread("frameReceived");
        ++frames;
    });
    QObject::connect(&bridge, &TouchEventBridge::gestureReceived, [&](const QString& name) {
        on_gui_thread("gestureReceived");
        gestures << name;
    });
    QObject::connect(&bridge, &TouchEventBridge::errorReported, [&](int status, const QString& text) {
        failures << QString("unexpected error %1: %2").arg(status).arg(text);
    });
    QObject::connect(&bridge, &TouchEventBridge::serverLost, [&] {
        on_gui_thread("serverLost");
        app.exit(0);
    });
    QTimer::singleShot(60000, [&] {
        failures << "no server break within 60 s";
        app.exit(1);
    });

    if (int status = bridge.start()) return std::fprintf(stderr, "OpenEventQueue: %d\n", status), 1;
    if (int status = ConnectServer("127.0.0.1", port)) return std::fprintf(stderr, "ConnectServer: %d\n", status), 1;
    TouchClientRequest request{};
    request.type = 1;
    SendRequest(request);
    view.show();
    app.exec();
    DisconnectServer();

    const QStringList tap{"TG_TOUCH_START", "TG_DOWN", "TG_UP", "TG_CLICK", "TG_TOUCH_END"};
    if (frames < 2) failures << QString("%1 frames, at least 2 expected").arg(frames);
    if (gestures != tap) failures << "gestures: " + gestures.join(' ') + "; expected: " + tap.join(' ');
    for (const QString& failure : failures) std::fprintf(stderr, "FAILED: %s\n", qPrintable(failure));
    if (failures.isEmpty()) std::printf("passed: %d frames, gestures %s\n", frames, qPrintable(gestures.join(' ')));
    return failures.isEmpty() ? 0 : 1;
}
