#include "cli/qr_drawing.h"

#include <qrencode.h>

#include <memory>

namespace quillet::cli {

std::optional<std::vector<std::vector<bool>>> QrModules(const std::string& content) {
  const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeString8bit(content.c_str(), 0, QR_ECLEVEL_M),
                                                             &QRcode_free);
  if (!code) return std::nullopt;
  std::vector<std::vector<bool>> modules(static_cast<std::size_t>(code->width),
                                         std::vector<bool>(static_cast<std::size_t>(code->width)));
  for (int y = 0; y < code->width; ++y) {
    for (int x = 0; x < code->width; ++x) {
      // The lowest bit of each module says whether it is dark.
      modules[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = (code->data[y * code->width + x] & 1) != 0;
    }
  }
  return modules;
}

std::optional<std::string> DrawQrCode(const std::string& content, bool colour) {
  const auto modules = QrModules(content);
  if (!modules) return std::nullopt;
  const int width = static_cast<int>(modules->size());
  const int side = width + 2 * kQrQuietModules;
  const auto light = [&](int row, int column) {
    const int y = row - kQrQuietModules;
    const int x = column - kQrQuietModules;
    if (y < 0 || x < 0 || y >= width || x >= width) return true;
    return !(*modules)[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
  };
  std::string text;
  // An odd side leaves the last cell row half below the code: light quiet zone.
  for (int row = 0; row < side; row += 2) {
    if (colour) text += "\x1b[97;40m";
    for (int column = 0; column < side; ++column) {
      const bool top = light(row, column);
      const bool bottom = row + 1 >= side || light(row + 1, column);
      text += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    if (colour) text += "\x1b[0m";
    text += "\n";
  }
  return text;
}

}  // namespace quillet::cli
