#include "app/Picture.h"

#include <QLinearGradient>
#include <QPainter>

#include "app/AppShell.h"

namespace velboot {

QPixmap DecorativePicture() {
  QPixmap picture(355, 60);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient board(0, 0, 355, 60);
  board.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
  board.setColorAt(1, QColor(0x2e, 0x8b, 0x57));
  p.setBrush(board);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(1, 1, 353, 58), 8, 8);
  p.setPen(QPen(QColor(0xd4, 0xaf, 0x37), 2));
  for (int i = 0; i < 6; ++i) {
    p.drawLine(14 + i * 7, 8, 14 + i * 7, 14);
    p.drawLine(14 + i * 7, 46, 14 + i * 7, 52);
  }
  p.setBrush(QColor(0x22, 0x22, 0x22));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(10, 14, 44, 32));
  p.setPen(Qt::white);
  p.setFont(DialogFont(11, true));
  p.drawText(QRectF(10, 14, 44, 32), Qt::AlignCenter, "ARM");
  p.setFont(DialogFont(26, true));
  p.drawText(QRectF(66, 0, 285, 60), Qt::AlignVCenter | Qt::AlignLeft, "velboot");
  return picture;
}

}  // namespace velboot
