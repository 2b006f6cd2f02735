#pragma once
// The captcha picture in the terminal: decoded from the service's JPEG,
// drawn with chafa in the best way the terminal allows, and saved to a file
// for terminals that show no pictures.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::cli {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // packed RGB, 8 bits per channel, rows top to bottom
};

// Nothing when the bytes are not a JPEG picture.
std::optional<RgbImage> DecodeJpeg(std::string_view bytes);

enum class TerminalGraphics { kSymbols, kSixels, kKitty };

// What the terminal described by `environment` (TERM and friends, as in
// environ) can show, by chafa's terminal database.
TerminalGraphics DetectTerminalGraphics(const char* const* environment);

// The picture as text to write to that terminal, at most `columns` wide.
std::string DrawForTerminal(const RgbImage& image, const char* const* environment, int columns);

struct SavedPicture {
  std::string path;   // set on success
  std::string error;  // set on failure
};
// Writes the picture into `folder` under a fresh name.
SavedPicture SaveCaptchaPicture(std::string_view jpegBytes, const std::string& folder);

}  // namespace quillet::cli
