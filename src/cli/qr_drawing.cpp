#include "cli/qr_drawing.h"

#include <qrencode.h>

#include <algorithm>
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

namespace {

// The code's cell rows without colour or line ends, quiet zone included.
std::optional<std::vector<std::string>> CellRows(const std::string& content) {
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
  std::vector<std::string> rows;
  // An odd side leaves the last cell row half below the code: light quiet zone.
  for (int row = 0; row < side; row += 2) {
    std::string text;
    for (int column = 0; column < side; ++column) {
      const bool top = light(row, column);
      const bool bottom = row + 1 >= side || light(row + 1, column);
      text += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    rows.push_back(std::move(text));
  }
  return rows;
}

std::string Line(const std::string& cells, bool colour) {
  return colour ? "\x1b[97;40m" + cells + "\x1b[0m\n" : cells + "\n";
}

// Characters a terminal shows for UTF-8 text (every code point one column).
std::size_t Columns(const std::string& text) {
  std::size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return columns;
}

}  // namespace

std::optional<std::string> DrawQrCode(const std::string& content, bool colour) {
  const auto rows = CellRows(content);
  if (!rows) return std::nullopt;
  std::string text;
  for (const std::string& row : *rows) text += Line(row, colour);
  return text;
}

std::optional<std::string> DrawQrCodesSideBySide(const std::vector<CaptionedQr>& codes, bool colour) {
  std::vector<std::vector<std::string>> drawn;
  std::vector<std::size_t> sides;
  std::size_t height = 0;
  for (const CaptionedQr& code : codes) {
    auto rows = CellRows(code.content);
    if (!rows) return std::nullopt;
    sides.push_back(rows->empty() ? 0 : Columns(rows->front()));
    height = std::max(height, rows->size());
    drawn.push_back(std::move(*rows));
  }
  std::string text;
  std::string captions;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::string caption = codes[i].caption;
    const std::size_t columns = Columns(caption);
    if (i + 1 < codes.size()) caption.append(sides[i] > columns ? sides[i] - columns : 1, ' ');
    captions += caption;
  }
  text += captions + "\n";
  for (std::size_t row = 0; row < height; ++row) {
    std::string cells;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      // A smaller code is drawn on light below its end, as its quiet zone.
      if (row < drawn[i].size()) {
        cells += drawn[i][row];
      } else {
        for (std::size_t column = 0; column < sides[i]; ++column) cells += "\u2588";
      }
    }
    text += Line(cells, colour);
  }
  return text;
}

}  // namespace quillet::cli
