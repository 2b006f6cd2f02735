#pragma once
// The captcha picture's eight cells, numbered row by row from the top left
// (1..4 above, 5..8 below), and the answer the login sends for marked cells.
#include <array>
#include <string>

namespace quillet {

// The fixed answer text of each cell: a point inside the cell's area of the
// picture as the service sends it.
const std::array<std::string, 8>& CaptchaCellPoints();
// The answer for the marked cells: their answer texts in cell order, joined by ",".
std::string BuildCaptchaAnswer(const std::array<std::string, 8>& answerFields, const std::array<bool, 8>& marked);

}  // namespace quillet
