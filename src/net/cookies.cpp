#include "net/cookies.h"

#include <algorithm>

#include "util/text.h"

namespace quillet {
namespace {

// SplitText's rules (empty pieces kept, none after a final separator, none
// for an empty text) on views into `text`, to keep the merge allocation-light.
std::vector<std::string_view> SplitViews(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const int at = FindText(text, separator, static_cast<int>(pos) + 1);
    if (at == kNotFound) {
      pieces.push_back(text.substr(pos));
      break;
    }
    const std::size_t end = static_cast<std::size_t>(at) - 1;
    pieces.push_back(text.substr(pos, end - pos));
    pos = end + separator.size();
  }
  return pieces;
}

std::string_view NameView(std::string_view pair) {
  const std::size_t eq = pair.find('=');
  return eq == std::string_view::npos ? pair : pair.substr(0, eq);
}

bool EndsWithDeleted(std::string_view pair) {
  constexpr std::string_view kDeleted = "=deleted";
  return pair.size() >= kDeleted.size() && pair.substr(pair.size() - kDeleted.size()) == kDeleted;
}

}  // namespace

std::string CookieName(std::string_view pair) { return TrimSpaces(NameView(pair)); }

bool HasCookieName(const std::vector<std::string>& pairs, std::string_view name) {
  return std::any_of(pairs.begin(), pairs.end(), [&](const std::string& p) { return CookieName(p) == name; });
}

int IndexOfText(const std::vector<std::string>& texts, std::string_view text) {
  const auto it = std::find(texts.begin(), texts.end(), text);
  return it == texts.end() ? kNotFound : static_cast<int>(it - texts.begin()) + 1;
}

std::string RemoveDuplicatePieces(std::string_view text, std::string_view separator) {
  if (separator.empty()) return std::string(text);
  const std::vector<std::string_view> pieces = SplitViews(text, separator);
  std::vector<std::string_view> seen;
  seen.reserve(pieces.size());
  std::string out;
  out.reserve(text.size() + separator.size());
  for (std::string_view piece : pieces) {
    if (std::find(seen.begin(), seen.end(), piece) != seen.end()) continue;
    seen.push_back(piece);
    out.append(piece).append(separator);
  }
  out.resize(out.size() >= separator.size() ? out.size() - separator.size() : 0);
  return out;
}

std::string MergeCookies(std::string& jar, std::string& newPairs) {
  jar = RemoveSpaces(jar);
  newPairs = RemoveSpaces(newPairs);

  // The answer's pairs first, in answer order; then each old pair whose name
  // is not there yet (so of several old pairs with one name the first wins).
  // No spaces are left, so a pair's name is simply the bytes before its "=".
  std::vector<std::string_view> merged = SplitViews(newPairs, ";");
  for (std::string_view pair : SplitViews(jar, ";")) {
    const std::string_view name = NameView(pair);
    const bool known =
        std::any_of(merged.begin(), merged.end(), [&](std::string_view m) { return NameView(m) == name; });
    if (!known) merged.push_back(pair);
  }

  std::string joined;
  joined.reserve(jar.size() + newPairs.size() + 2 * merged.size());
  for (std::string_view pair : merged) {
    if (!EndsWithDeleted(pair)) joined.append(pair).append("; ");
  }
  if (joined.size() >= 2) joined.resize(joined.size() - 2);

  jar = RemoveDuplicatePieces(joined, "; ");
  return jar;
}

std::string CookieJar::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

void CookieJar::SetText(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_ = std::move(text);
  settled_ = false;
}

std::string CookieJar::Merge(std::string newPairs) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!newPairs.empty()) {
    settled_ = false;
    return MergeCookies(text_, newPairs);
  }
  if (settled_) return text_;
  const std::string before = text_;
  MergeCookies(text_, newPairs);
  settled_ = text_ == before;
  return text_;
}

std::string CookieJar::OtherHostText(const std::string& hostKey) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = otherHosts_.find(hostKey);
  return it == otherHosts_.end() ? std::string() : it->second;
}

void CookieJar::MergeForOtherHost(const std::string& hostKey, std::string newPairs) {
  if (newPairs.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  MergeCookies(otherHosts_[hostKey], newPairs);
}

}  // namespace quillet
