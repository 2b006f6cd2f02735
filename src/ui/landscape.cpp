#include "ui/landscape.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace quillet {

namespace {

constexpr int kWidth = 434;
constexpr int kHeight = 288;
constexpr int kHorizon = 190;

QPainterPath Ridge(const std::initializer_list<QPointF>& points, qreal bottom) {
  QPainterPath path;
  path.moveTo(0, bottom);
  for (const QPointF& point : points) path.lineTo(point);
  path.lineTo(kWidth, bottom);
  path.closeSubpath();
  return path;
}

void PaintScene(QPainter& painter) {
  QLinearGradient sky(0, 0, 0, kHorizon);
  sky.setColorAt(0.0, QColor(40, 90, 170));
  sky.setColorAt(0.7, QColor(250, 180, 120));
  sky.setColorAt(1.0, QColor(255, 220, 160));
  painter.fillRect(0, 0, kWidth, kHorizon, sky);

  QRadialGradient sun(QPointF(300, 120), 40);
  sun.setColorAt(0.0, QColor(255, 250, 220));
  sun.setColorAt(0.5, QColor(255, 230, 150, 200));
  sun.setColorAt(1.0, QColor(255, 200, 120, 0));
  painter.setPen(Qt::NoPen);
  painter.setBrush(sun);
  painter.drawEllipse(QPointF(300, 120), 40, 40);

  painter.setBrush(QColor(110, 100, 140));
  painter.drawPath(Ridge({{0, 120}, {60, 90}, {120, 125}, {190, 70}, {260, 130}, {330, 95}, {434, 140}}, kHorizon));
  painter.setBrush(QColor(60, 80, 90));
  painter.drawPath(Ridge({{0, 160}, {80, 130}, {150, 165}, {230, 135}, {310, 170}, {380, 150}, {434, 165}}, kHorizon));

  QLinearGradient lake(0, kHorizon, 0, kHeight);
  lake.setColorAt(0.0, QColor(230, 170, 130));
  lake.setColorAt(0.3, QColor(70, 110, 160));
  lake.setColorAt(1.0, QColor(20, 40, 80));
  painter.fillRect(0, kHorizon, kWidth, kHeight - kHorizon, lake);
  painter.setPen(QPen(QColor(255, 240, 200, 120), 2));
  for (int i = 0; i < 6; ++i) {
    const int y = kHorizon + 8 + i * 12;
    painter.drawLine(300 - 30 + i * 3, y, 300 + 30 - i * 3, y);
  }

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(25, 45, 30));
  painter.drawPath(Ridge({{0, 230}, {40, 215}, {90, 240}, {140, 250}, {434, 262}}, kHeight));
  for (int x = 12; x < 130; x += 22) {
    const int base = 236 + (x % 3) * 4;
    QPainterPath tree;
    tree.moveTo(x, base - 50 - (x % 5) * 4);
    tree.lineTo(x - 10, base);
    tree.lineTo(x + 10, base);
    tree.closeSubpath();
    painter.drawPath(tree);
  }
}

QByteArray EncodeLandscape() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintScene(painter);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 85);
  return bytes;
}

}  // namespace

const QByteArray& LandscapeJpeg() {
  static const QByteArray bytes = EncodeLandscape();
  return bytes;
}

}  // namespace quillet
