// Touch points and gesture names in a Qt widget, taken from the library's
// event queue on the GUI thread (TouchEventBridge): no callback runs on the
// library's threads, and nothing needs a lock.
//   qt_touch [--port N]
// Without touch hardware, start the simulator first (vornmt-sim).
#include <VornMTClient.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include "touch_event_bridge.h"
#include "touch_view.h"

using namespace Vorn_SDK_MultiTouch;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({"port", "The touch server's port on 127.0.0.1 (default 7100).", "N", "7100"});
    options.process(app);
    const int port = options.value("port").toInt();

    TouchView view;
    TouchEventBridge bridge;
    QObject::connect(&bridge, &TouchEventBridge::frameReceived, &view, &TouchView::showFrame);
    QObject::connect(&bridge, &TouchEventBridge::gestureReceived, &view, &TouchView::addGesture);
    QObject::connect(&bridge, &TouchEventBridge::resolutionReceived, &view, &TouchView::setResolution);
    QObject::connect(&bridge, &TouchEventBridge::errorReported, &view,
                     [&view](int, const QString& text) { view.setStatus("error: " + text); });
    QObject::connect(&bridge, &TouchEventBridge::serverLost, &view, [&view] { view.setStatus("server gone"); });

    int32_t status = bridge.start();  // before connecting, so that no event is missed
    if (status == ERR_NONE) status = ConnectServer("127.0.0.1", port);
    if (status != ERR_NONE) {
        QMessageBox::critical(nullptr, "VornMT touch",
                              QString("Cannot connect to 127.0.0.1:%1: %2").arg(port).arg(GetStatusText(status)));
        return 1;
    }
    TouchClientRequest request{};
    request.type = 1;
    SendRequest(request);
    GetServerResolution(nullptr, nullptr);  // the answer comes as resolutionReceived

    view.show();
    const int exit_status = app.exec();
    DisconnectServer();  // before the bridge closes the queue
    return exit_status;
}
