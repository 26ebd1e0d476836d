#include "res/tools/tile_pictures.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace res_tools {

namespace {

// A land-like colour for a place: water, meadows, fields, woods and hills,
// from a few waves over the plane.
QColor PlaceColour(double u, double v) {
  const double height = std::sin(u * 0.55) + std::cos(v * 0.43) + 0.6 * std::sin((u + v) * 0.9) +
                        0.35 * std::cos(u * 1.7 - v * 1.3);
  if (height < -1.2) return QColor(150, 190, 225);   // water
  if (height < -0.3) return QColor(196, 222, 160);   // meadow
  if (height < 0.5) return QColor(232, 226, 170);    // fields
  if (height < 1.3) return QColor(142, 186, 128);    // woods
  return QColor(204, 180, 146);                      // hills
}

}  // namespace

QByteArray TilePicture(double u, double v, const QString& label, const QString& source, int size) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(PlaceColour(u, v));
  QPainter painter(&image);
  painter.setPen(QPen(QColor(0, 0, 0, 70), 1));
  painter.drawRect(0, 0, size - 1, size - 1);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(std::max(8, size / 12));
  painter.setFont(font);
  painter.setPen(QColor(40, 40, 40));
  const QRect upper(0, 0, size, size / 2 + size / 16);
  painter.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, label);
  if (!source.isEmpty()) {
    const QRect lower(0, size / 2 + size / 16, size, size / 2);
    painter.drawText(lower, Qt::AlignHCenter | Qt::AlignTop, source);
  }
  painter.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png;
}

}  // namespace res_tools
