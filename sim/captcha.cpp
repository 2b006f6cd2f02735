#include "captcha.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <set>

namespace quillet::sim {

namespace {

enum Category { kSun, kStar, kHeart, kHouse, kTree, kFish, kUmbrella, kMoon, kCategoryCount };

QColor Varied(Rng& rng, int r, int g, int b, int spread = 30) {
  const auto v = [&](int c) { return std::clamp(c + rng.Between(-spread, spread), 0, 255); };
  return QColor(v(r), v(g), v(b));
}

// Each drawing fills a 100 x 100 box; the caller scales it into the tile.
void DrawThing(QPainter& p, int category, Rng& rng) {
  p.setPen(QPen(QColor(60, 60, 60), 2.5));
  switch (category) {
    case kSun: {
      p.setBrush(Varied(rng, 250, 200, 40));
      for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        p.drawLine(QPointF(50 + 30 * std::cos(a), 50 + 30 * std::sin(a)),
                   QPointF(50 + 46 * std::cos(a), 50 + 46 * std::sin(a)));
      }
      p.drawEllipse(QPointF(50, 50), 26, 26);
      break;
    }
    case kStar: {
      QPolygonF star;
      for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double r = i % 2 == 0 ? 46 : 19;
        star << QPointF(50 + r * std::cos(a), 54 + r * std::sin(a));
      }
      p.setBrush(Varied(rng, 240, 180, 20));
      p.drawPolygon(star);
      break;
    }
    case kHeart: {
      QPainterPath heart;
      heart.moveTo(50, 88);
      heart.cubicTo(10, 60, 5, 30, 28, 18);
      heart.cubicTo(40, 12, 50, 22, 50, 32);
      heart.cubicTo(50, 22, 60, 12, 72, 18);
      heart.cubicTo(95, 30, 90, 60, 50, 88);
      p.setBrush(Varied(rng, 220, 40, 60));
      p.drawPath(heart);
      break;
    }
    case kHouse: {
      p.setBrush(Varied(rng, 230, 200, 150));
      p.drawRect(QRectF(20, 45, 60, 45));
      QPolygonF roof;
      roof << QPointF(10, 48) << QPointF(50, 10) << QPointF(90, 48);
      p.setBrush(Varied(rng, 180, 50, 40));
      p.drawPolygon(roof);
      p.setBrush(Varied(rng, 120, 80, 40));
      p.drawRect(QRectF(43, 62, 16, 28));
      p.setBrush(QColor(170, 210, 240));
      p.drawRect(QRectF(26, 54, 12, 12));
      p.drawRect(QRectF(64, 54, 12, 12));
      break;
    }
    case kTree: {
      p.setBrush(Varied(rng, 130, 85, 40));
      p.drawRect(QRectF(43, 60, 14, 34));
      p.setBrush(Varied(rng, 50, 160, 60));
      p.drawEllipse(QPointF(50, 38), 32, 30);
      break;
    }
    case kFish: {
      QPainterPath body;
      body.moveTo(12, 50);
      body.cubicTo(30, 20, 62, 20, 76, 50);
      body.cubicTo(62, 80, 30, 80, 12, 50);
      QPolygonF tail;
      tail << QPointF(72, 50) << QPointF(94, 30) << QPointF(94, 70);
      p.setBrush(Varied(rng, 60, 130, 220));
      p.drawPolygon(tail);
      p.drawPath(body);
      p.setBrush(Qt::black);
      p.drawEllipse(QPointF(28, 45), 3.5, 3.5);
      break;
    }
    case kUmbrella: {
      QPainterPath canopy;
      canopy.moveTo(8, 50);
      canopy.arcTo(QRectF(8, 12, 84, 76), 180, -180);
      canopy.closeSubpath();
      p.setBrush(Varied(rng, 150, 60, 180));
      p.drawPath(canopy);
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(50, 50), QPointF(50, 84));
      p.drawArc(QRectF(38, 76, 12, 14), 180 * 16, 180 * 16);
      break;
    }
    case kMoon: {
      QPainterPath full;
      full.addEllipse(QPointF(48, 50), 38, 38);
      QPainterPath bite;
      bite.addEllipse(QPointF(66, 40), 32, 32);
      p.setBrush(Varied(rng, 245, 225, 120, 20));
      p.drawPath(full.subtracted(bite));
      break;
    }
    default:
      break;
  }
}

std::mutex& RenderMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

const std::vector<std::string>& CaptchaCategories() {
  static const std::vector<std::string> kNames = {"太阳", "星星", "爱心", "房子", "树", "鱼", "雨伞", "月亮"};
  return kNames;
}

CaptchaPicture NewCaptcha(Rng& rng, const std::vector<int>& fixedCells) {
  CaptchaPicture picture;
  picture.category = static_cast<int>(rng.Below(kCategoryCount));
  std::set<int> cells(fixedCells.begin(), fixedCells.end());
  if (cells.empty()) {
    const int count = rng.Between(1, 3);
    while (static_cast<int>(cells.size()) < count) cells.insert(rng.Between(1, 8));
  }
  for (int i = 0; i < 8; ++i) {
    if (cells.count(i + 1) != 0) {
      picture.tileCategory[static_cast<std::size_t>(i)] = picture.category;
    } else {
      const int other = rng.Between(1, kCategoryCount - 1);
      picture.tileCategory[static_cast<std::size_t>(i)] = (picture.category + other) % kCategoryCount;
    }
  }
  picture.cells.assign(cells.begin(), cells.end());
  picture.drawSeed = rng.Next();
  return picture;
}

int CaptchaTileAt(double x, double yInPicture) {
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 4; ++c) {
      const double left = 5 + 72 * c;
      const double top = 41 + 72 * r;
      if (x >= left && x < left + kCaptchaTile && yInPicture >= top && yInPicture < top + kCaptchaTile) {
        return r * 4 + c + 1;
      }
    }
  }
  return 0;
}

bool CaptchaAnswerRight(const CaptchaPicture& picture, const std::string& randCode) {
  std::vector<double> numbers;
  std::size_t pos = 0;
  while (pos <= randCode.size()) {
    std::size_t end = randCode.find(',', pos);
    if (end == std::string::npos) end = randCode.size();
    const std::string piece = randCode.substr(pos, end - pos);
    if (piece.empty()) return false;
    char* stop = nullptr;
    const double v = std::strtod(piece.c_str(), &stop);
    if (stop == piece.c_str() || *stop != '\0' || !std::isfinite(v)) return false;
    numbers.push_back(v);
    pos = end + 1;
  }
  if (numbers.empty() || numbers.size() % 2 != 0) return false;
  std::set<int> hit;
  for (std::size_t i = 0; i < numbers.size(); i += 2) {
    const int tile = CaptchaTileAt(numbers[i], numbers[i + 1] + kCaptchaStrip);
    if (tile == 0) return false;
    hit.insert(tile);
  }
  return hit == std::set<int>(picture.cells.begin(), picture.cells.end());
}

std::string RenderCaptchaJpeg(const CaptchaPicture& picture) {
  std::lock_guard<std::mutex> lock(RenderMutex());
  Rng rng(picture.drawSeed);
  QImage image(kCaptchaWidth, kCaptchaHeight, QImage::Format_RGB32);
  image.fill(QColor(238, 238, 238));
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    p.fillRect(QRect(0, 0, kCaptchaWidth, kCaptchaStrip), QColor(255, 255, 255));
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(QColor(40, 40, 40));
    const QString lead = QString::fromUtf8("请点击下图中所有的");
    p.drawText(QPointF(8, 21), lead);
    const double leadWidth = p.fontMetrics().horizontalAdvance(lead);
    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(17);
    p.setFont(bold);
    p.setPen(QColor(200, 20, 20));
    p.drawText(QPointF(8 + leadWidth + 4, 22),
               QString::fromStdString(CaptchaCategories()[static_cast<std::size_t>(picture.category)]));

    for (int i = 0; i < 8; ++i) {
      const int r = i / 4;
      const int c = i % 4;
      const QRectF tile(5 + 72 * c, 41 + 72 * r, kCaptchaTile, kCaptchaTile);
      p.fillRect(tile, Varied(rng, 215, 225, 235, 25));
      p.save();
      p.setClipRect(tile);
      const double scale = (0.5 + rng.Below(12) / 100.0);
      const double dx = rng.Between(-4, 4);
      const double dy = rng.Between(-4, 4);
      p.translate(tile.center() + QPointF(dx, dy));
      p.rotate(rng.Between(-20, 20));
      p.scale(scale, scale);
      p.translate(-50, -50);
      DrawThing(p, picture.tileCategory[static_cast<std::size_t>(i)], rng);
      p.restore();
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 88);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace quillet::sim
