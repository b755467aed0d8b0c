#include "app/Gauge.h"

#include <QPainter>
#include <algorithm>

namespace velboot {

void TGauge::SetProgress(int value) {
  value = std::clamp(value, 0, 100);
  if (value == progress_) return;
  progress_ = value;
  repaint();
}

void TGauge::paintEvent(QPaintEvent*) {
  ++paints_;
  QPainter painter(this);
  QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(rect(), Qt::white);
  QRect bar = frame.adjusted(1, 1, 0, 0);
  bar.setWidth(bar.width() * progress_ / 100);
  painter.fillRect(bar, Qt::black);
  painter.setPen(Qt::gray);
  painter.drawRect(frame);
  // The text is white over the bar and black beside it.
  QString text = QString::number(progress_) + "%";
  painter.setClipRect(bar);
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, text);
  painter.setClipRect(QRect(bar.right() + 1, 0, width(), height()));
  painter.setPen(Qt::black);
  painter.drawText(rect(), Qt::AlignCenter, text);
}

}  // namespace velboot
