#pragma once
// The login captcha: a picture of eight tiles under a prompt strip; the
// answer is the set of tiles that show the prompted thing.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rng.h"

namespace quillet::sim {

inline constexpr int kCaptchaWidth = 293;
inline constexpr int kCaptchaHeight = 190;
inline constexpr int kCaptchaStrip = 30;  // prompt strip height
inline constexpr int kCaptchaTile = 67;

struct CaptchaPicture {
  int category = 0;                   // what the prompt asks for
  std::array<int, 8> tileCategory{};  // what each tile shows, row by row
  std::vector<int> cells;             // correct tiles, 1..8, ascending
  std::uint64_t drawSeed = 0;         // variations of the drawings
};

// The category names the prompt uses.
const std::vector<std::string>& CaptchaCategories();

// A new picture: one to three correct tiles, or exactly fixedCells when given.
CaptchaPicture NewCaptcha(Rng& rng, const std::vector<int>& fixedCells);

// randCode: x,y pairs separated by commas, y measured below the strip.
// Right when every point lies in a correct tile and every correct tile is hit.
bool CaptchaAnswerRight(const CaptchaPicture& picture, const std::string& randCode);

// The tile (1..8) under a point of the picture, or 0.
int CaptchaTileAt(double x, double yInPicture);

// The picture as JPEG bytes (needs a QGuiApplication).
std::string RenderCaptchaJpeg(const CaptchaPicture& picture);

}  // namespace quillet::sim
