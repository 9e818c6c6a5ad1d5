#include "touch_view.h"

#include <QPainter>

namespace {
const int kGestureLines = 12;
}

TouchView::TouchView(QWidget* parent) : QWidget(parent) {
    setWindowTitle("VornMT touch");
    resize(960, 540);
}

void TouchView::showFrame(int frame_number, const QList<QPoint>& touching) {
    touching_ = touching;
    status_ = QString("frame %1").arg(frame_number);
    update();
}

void TouchView::addGesture(const QString& name) {
    gestures_.prepend(name);
    if (gestures_.size() > kGestureLines) gestures_.removeLast();
    update();
}

void TouchView::setResolution(const QSize& size) {
    if (!size.isEmpty()) resolution_ = size;
}

void TouchView::setStatus(const QString& status) {
    status_ = status;
    touching_.clear();
    update();
}

void TouchView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(24, 26, 33));
    const double sx = double(width()) / resolution_.width(), sy = double(height()) / resolution_.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(64, 196, 255));
    for (const QPoint& point : touching_) painter.drawEllipse(QPointF(point.x() * sx, point.y() * sy), 12, 12);
    painter.setPen(QColor(230, 230, 230));
    for (int line = 0; line < gestures_.size(); ++line) painter.drawText(12, 24 + 20 * line, gestures_[line]);
    painter.setPen(QColor(150, 150, 160));
    painter.drawText(12, height() - 12, status_);
}
