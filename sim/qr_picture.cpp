#include "qr_picture.h"

#include <qrencode.h>

#include <QBuffer>
#include <QImage>
#include <memory>

namespace quillet::sim {

namespace {

constexpr int kPixelsPerModule = 6;
constexpr int kQuietModules = 4;

}  // namespace

std::string QrCodePng(const std::string& content) {
  const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeString8bit(content.c_str(), 0, QR_ECLEVEL_M),
                                                             &QRcode_free);
  if (!code) return {};
  const int modules = code->width + 2 * kQuietModules;
  QImage image(modules * kPixelsPerModule, modules * kPixelsPerModule, QImage::Format_Grayscale8);
  image.fill(255);
  for (int y = 0; y < code->width; ++y) {
    for (int x = 0; x < code->width; ++x) {
      // The lowest bit of each module says whether it is dark.
      if ((code->data[y * code->width + x] & 1) == 0) continue;
      for (int dy = 0; dy < kPixelsPerModule; ++dy) {
        uchar* row = image.scanLine((y + kQuietModules) * kPixelsPerModule + dy);
        for (int dx = 0; dx < kPixelsPerModule; ++dx) row[(x + kQuietModules) * kPixelsPerModule + dx] = 0;
      }
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return bytes.toStdString();
}

}  // namespace quillet::sim
