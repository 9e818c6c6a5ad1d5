// A widget that shows the touch points of the latest frame and the latest
// gesture names. Its slots are meant for TouchEventBridge's signals and run
// on the GUI thread.
#pragma once

#include <QList>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QWidget>

class TouchView : public QWidget {
    Q_OBJECT

public:
    explicit TouchView(QWidget* parent = nullptr);

public slots:
    void showFrame(int frame_number, const QList<QPoint>& touching);
    void addGesture(const QString& name);
    void setResolution(const QSize& size);
    void setStatus(const QString& status);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QPoint> touching_;
    QStringList gestures_;  // the newest first
    QSize resolution_{1920, 1080};
    QString status_;
};
