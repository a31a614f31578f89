#include "ui/StateImages.h"

#include <QPainter>
#include <QPainterPath>

namespace larkspire {
namespace {

// Up to date: a green disc with a white tick. Due: a grey ring, so the eye goes to the rows
// that still need work.
void DrawDueState(QPainter& p, bool up_to_date) {
  if (up_to_date) {
    p.setPen(QPen(QColor(0, 110, 40), 1));
    p.setBrush(QColor(40, 170, 70));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(4.5, 8.5);
    tick.lineTo(7, 11);
    tick.lineTo(11.5, 5.5);
    p.drawPath(tick);
  } else {
    p.setPen(QPen(QColor(120, 120, 120), 1.5));
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QRectF(2, 2, 12, 12));
  }
}

// Recent change: an amber diamond in the top-left corner.
void DrawRecentChange(QPainter& p) {
  QPainterPath diamond;
  diamond.moveTo(4.5, 0.5);
  diamond.lineTo(8.5, 4.5);
  diamond.lineTo(4.5, 8.5);
  diamond.lineTo(0.5, 4.5);
  diamond.closeSubpath();
  p.setPen(QPen(QColor(150, 80, 0), 1));
  p.setBrush(QColor(255, 170, 0));
  p.drawPath(diamond);
}

// Error: a red badge with a white bar in the bottom-right corner.
void DrawError(QPainter& p) {
  p.setPen(QPen(QColor(120, 0, 0), 1));
  p.setBrush(QColor(215, 30, 30));
  p.drawEllipse(QRectF(7.5, 7.5, 8, 8));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(9.5, 11.5), QPointF(13.5, 11.5));
}

// Being updated: a blue ring with an arrow head, the usual "in progress" sign.
void DrawUpdating(QPainter& p) {
  p.setPen(QPen(QColor(20, 90, 200), 2.5, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
  QPainterPath head;
  head.moveTo(8, 0.5);
  head.lineTo(12, 3);
  head.lineTo(8, 5.5);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 90, 200));
  p.drawPath(head);
}

}  // namespace

QPixmap DrawStateImageStrip(qreal scale) {
  QPixmap strip(QSize(kStateImageSize * kStateImageCount, kStateImageSize) * scale);
  strip.setDevicePixelRatio(scale);
  strip.fill(Qt::transparent);
  QPainter p(&strip);
  p.setRenderHint(QPainter::Antialiasing);
  for (int index = 0; index < kStateImageCount; ++index) {
    p.save();
    p.translate(index * kStateImageSize, 0);
    if (index == kStateImageUpdating) {
      DrawUpdating(p);
    } else {
      DrawDueState(p, (index & 2) != 0);
      if (index & 1) DrawRecentChange(p);
      if (index & 4) DrawError(p);
    }
    p.restore();
  }
  return strip;
}

CStateImages::CStateImages() {
  for (int scale : kStateImageScales) {
    const QPixmap strip = DrawStateImageStrip(scale);
    const int side = kStateImageSize * scale;
    for (int index = 0; index < kStateImageCount; ++index) {
      QPixmap picture = strip.copy(index * side, 0, side, side);
      picture.setDevicePixelRatio(scale);
      for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
        icons_[index].addPixmap(picture, mode);
      }
    }
  }
}

const QIcon& CStateImages::Icon(int index) const {
  return index >= 0 && index < kStateImageCount ? icons_[index] : none_;
}

QString StateImageMeaning(int index) {
  if (index == kStateImageUpdating) return QStringLiteral("Being updated now.");
  if (index < 0 || index >= kStateImageUpdating) return {};
  QString meaning =
      (index & 2) != 0 ? QStringLiteral("Up to date") : QStringLiteral("Due for an update");
  if ((index & 1) != 0) meaning += QStringLiteral(", changed within the last week");
  if ((index & 4) != 0)
    meaning += QStringLiteral(", the last update failed (see the Error column)");
  return meaning + '.';
}

}  // namespace larkspire
