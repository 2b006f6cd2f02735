#include "booking/captcha_cells.h"

namespace quillet {

const std::array<std::string, 8>& CaptchaCellPoints() {
  static const std::array<std::string, 8> points = {"38.5,40",    "110.5,35", "180,42",  "253,50",
                                                    "33.5,111.5", "109,110",  "182,115", "255,117"};
  return points;
}

std::string BuildCaptchaAnswer(const std::array<std::string, 8>& answerFields, const std::array<bool, 8>& marked) {
  std::string answer;
  for (std::size_t i = 0; i < answerFields.size(); ++i) {
    if (marked[i]) answer += answerFields[i] + ",";
  }
  if (!answer.empty()) answer.pop_back();
  return answer;
}

}  // namespace quillet
