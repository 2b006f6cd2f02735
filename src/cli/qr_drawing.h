#pragma once
// A QR code drawn in the terminal with Unicode half blocks, so that a phone
// can scan it from the screen: every character cell holds two modules, one
// above the other. Block glyphs are light modules and spaces dark ones, with
// a light quiet zone of four modules all round; with `colour` each line is
// drawn white on black, so the code is dark on light whatever the
// terminal's own colours are.
#include <optional>
#include <string>
#include <vector>

namespace quillet::cli {

inline constexpr int kQrQuietModules = 4;

// The modules of the code for `content`, true for dark, row by row, without
// the quiet zone; nothing when the content cannot be encoded.
std::optional<std::vector<std::vector<bool>>> QrModules(const std::string& content);

// The drawing, lines ended by "\n"; nothing when the content cannot be encoded.
std::optional<std::string> DrawQrCode(const std::string& content, bool colour);

struct CaptionedQr {
  std::string caption;  // UTF-8, shown above the code
  std::string content;
};

// Several codes next to each other (their quiet zones between them), each
// caption above its code, for signing several accounts in at once; nothing
// when a content cannot be encoded.
std::optional<std::string> DrawQrCodesSideBySide(const std::vector<CaptionedQr>& codes, bool colour);

}  // namespace quillet::cli
