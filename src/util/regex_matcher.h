#pragma once
// Global regular-expression matching over PCRE2 in UTF mode. Pattern and
// subject are program text (GBK); match texts come back as program text.
// \uXXXX escapes, lazy quantifiers and numbered groups work; "." does not
// match a line feed. Match and depth limits stop a runaway match, which then
// counts as no match.
#include <string>
#include <vector>

namespace quillet {

class RegexMatcher {
 public:
  // True when the pattern compiled and the subject was searched (even with no match).
  bool Run(const std::string& pattern, const std::string& subject);
  int MatchCount() const;
  std::string MatchText(int i) const;            // 1-based
  std::string SubMatchText(int i, int j) const;  // 1-based match, 1-based group

 private:
  struct Match {
    std::string whole;
    std::vector<std::string> groups;
  };
  std::vector<Match> matches_;
};

}  // namespace quillet
