// Draws the window's icons into PNG files: the application icon in several
// sizes and the two 16 x 16 status icons. The PNGs in res/icons/ were made
// with it; run it again after changing a drawing:
//   corvane_draw_icons <output folder>
// Exit code 0 when every file was written, 1 otherwise.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage NewCanvas(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// Green circle with a white tick.
QImage DrawReady() {
  QImage image = NewCanvas(16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x1e, 0x7a, 0x2c), 1.0));
  p.setBrush(QColor(0x2e, 0xa0, 0x3f));
  p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath tick;
  tick.moveTo(4.2, 8.4);
  tick.lineTo(6.9, 11.0);
  tick.lineTo(11.8, 5.2);
  p.drawPath(tick);
  return image;
}

// Red circle with a white cross.
QImage DrawNotReady() {
  QImage image = NewCanvas(16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x9c, 0x1c, 0x1c), 1.0));
  p.setBrush(QColor(0xd6, 0x33, 0x33));
  p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
  p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
  return image;
}

// A sheet of four map tiles with a road, a river and a red map pin.
QImage DrawApp(int size) {
  QImage image = NewCanvas(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 64.0;  // the drawing is made on a 64 x 64 grid
  p.scale(s, s);

  const QRectF sheet(4, 8, 52, 52);
  p.setPen(QPen(QColor(0x2d, 0x4a, 0x6e), 2.0));
  p.setBrush(QColor(0xf1, 0xee, 0xd8));
  p.drawRoundedRect(sheet, 4, 4);

  // Tiles: two shades of land, split by thin grid lines.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xcf, 0xe6, 0xb4));
  p.drawRect(QRectF(6, 10, 23, 23));
  p.drawRect(QRectF(31, 35, 23, 23));
  p.setPen(QPen(QColor(0x9a, 0xa4, 0xb0), 1.0));
  p.drawLine(QPointF(30, 9), QPointF(30, 59));
  p.drawLine(QPointF(5, 34), QPointF(55, 34));

  // River and road.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x4a, 0x90, 0xd9), 4.0, Qt::SolidLine, Qt::RoundCap));
  QPainterPath river;
  river.moveTo(6, 52);
  river.cubicTo(20, 40, 26, 58, 54, 44);
  p.drawPath(river);
  p.setPen(QPen(QColor(0xe0, 0x8a, 0x1e), 3.0, Qt::SolidLine, Qt::RoundCap));
  QPainterPath road;
  road.moveTo(8, 14);
  road.cubicTo(24, 24, 18, 34, 40, 30);
  p.drawPath(road);

  // Map pin in the upper right corner.
  p.setPen(QPen(QColor(0x8a, 0x10, 0x10), 1.5));
  p.setBrush(QColor(0xe0, 0x2a, 0x2a));
  QPainterPath pin;
  pin.moveTo(48, 34);
  pin.cubicTo(40, 22, 36, 18, 36, 13);
  pin.arcTo(QRectF(36, 1, 24, 24), 180, -180);
  pin.cubicTo(60, 18, 56, 22, 48, 34);
  p.drawPath(pin);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(44, 9, 8, 8));
  return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
  const QString path = folder + "/" + name;
  if (image.save(path, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvane_draw_icons <output folder>\n");
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  bool ok = Save(DrawReady(), folder, "ready_16.png");
  ok = Save(DrawNotReady(), folder, "not_ready_16.png") && ok;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    ok = Save(DrawApp(size), folder, QString("app_%1.png").arg(size)) && ok;
  }
  return ok ? 0 : 1;
}
