#include "web/qr_svg.h"

#include <qrencode.h>

#include <memory>

namespace quillet::web {

std::string QrSvg(std::string_view content) {
  const std::string text(content);
  const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
  if (!code) return {};
  const int width = code->width;
  constexpr int kQuiet = 4;  // modules of white around the code
  const int size = width + 2 * kQuiet;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(size) + " " +
                    std::to_string(size) + "\" shape-rendering=\"crispEdges\"><rect width=\"100%\" height=\"100%\" " +
                    "fill=\"#fff\"/><path fill=\"#000\" d=\"";
  for (int y = 0; y < width; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((code->data[y * width + x] & 1) != 0) {
        svg += "M" + std::to_string(x + kQuiet) + " " + std::to_string(y + kQuiet) + "h1v1h-1z";
      }
    }
  }
  return svg + "\"/></svg>";
}

}  // namespace quillet::web
