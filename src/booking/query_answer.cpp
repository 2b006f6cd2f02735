#include "booking/query_answer.h"
#include "booking/service_paths.h"

#include <algorithm>
#include <cctype>

namespace quillet {
namespace {

bool Contains(std::string_view text, std::string_view marker) { return text.find(marker) != std::string_view::npos; }

bool PathCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '_';
}

bool BlankOnly(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

}  // namespace

QueryPathMove ReadQueryPathMove(std::string_view utf8Answer) {
  QueryPathMove move;
  static constexpr std::string_view kMarker = "\"c_url\":\"";
  const std::size_t at = utf8Answer.find(kMarker);
  if (at == std::string_view::npos || !Contains(utf8Answer, "\"status\":false")) return move;
  const std::size_t start = at + kMarker.size();
  const std::size_t end = utf8Answer.find('"', start);
  const std::string_view named = utf8Answer.substr(start, end == std::string_view::npos ? 0 : end - start);
  move.verdict = QueryPathVerdict::kBadPath;
  if (end == std::string_view::npos || named.empty()) {
    move.problem = QueryPathProblem::kEmpty;
  } else if (named.size() > kMaxQueryPathBytes) {
    move.problem = QueryPathProblem::kTooLong;
  } else if (!std::all_of(named.begin(), named.end(), PathCharacter)) {
    move.problem = QueryPathProblem::kBadCharacters;
  } else if (named.front() == '/') {
    // Relative to the service's /otn/ only: never another root of the host.
    move.problem = QueryPathProblem::kNotUnderService;
  } else {
    move.verdict = QueryPathVerdict::kMoved;
    move.path = service_paths::kApplicationRoot + std::string(named);
  }
  return move;
}

QueryAnswerSign ReadQueryAnswerSign(long status, std::string_view askedPath, std::string_view answerPath,
                                    std::string_view utf8Body) {
  if (status == 302 || answerPath != askedPath) {
    std::string lower(answerPath);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (status == 302 || Contains(lower, "error")) return QueryAnswerSign::kThrottled;
  }
  if (Contains(utf8Body, "网络繁忙") || Contains(utf8Body, "请求过于频繁")) return QueryAnswerSign::kThrottled;
  if (status == 200 && BlankOnly(utf8Body)) return QueryAnswerSign::kEmpty;
  return QueryAnswerSign::kNormal;
}

}  // namespace quillet
