// The event queue in a Qt event loop: Qt watches the queue's wait handle (a
// QSocketNotifier on Linux, a QWinEventNotifier on Windows) and, when it is
// signalled, the bridge takes the queued events and emits one signal per
// event. Everything runs on the thread that owns the bridge (the GUI
// thread), so the slots need no lock and may touch widgets.
#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

class TouchEventBridge : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~TouchEventBridge() override;  // stops watching, then closes the queue

    // Opens the event queue and starts watching its handle; call before
    // ConnectServer so that no event is missed. Returns the status of
    // OpenEventQueue.
    int start();

signals:
    // The points still touching (the simulator marks a point's last frame
    // with code_0 3), in the server's pixels.
    void frameReceived(int frame_number, const QList<QPoint>& touching);
    void gestureReceived(const QString& name);
    void resolutionReceived(const QSize& size);
    void errorReported(int status, const QString& text);
    void serverLost();

private:
    void takeEvents();

    QObject* notifier_ = nullptr;  // the platform's notifier, a child of this object
};
