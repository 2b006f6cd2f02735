#pragma once
// The cookie text: name=value pairs joined by "; ", and its merge rules.
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Rewrites both arguments (spaces removed) and returns a copy of the merged jar.
std::string MergeCookies(std::string& jar, std::string& newPairs);
std::string CookieName(std::string_view pair);
bool HasCookieName(const std::vector<std::string>& pairs, std::string_view name);
std::string RemoveDuplicatePieces(std::string_view text, std::string_view separator);
// 1-based index of the first element equal to text, or -1.
int IndexOfText(const std::vector<std::string>& texts, std::string_view text);

// The one session cookie text of the program, safe to share between threads.
// An exchange takes a snapshot, sends without holding the lock, and merges
// the pairs the answer set into the jar as it is by then.
class CookieJar {
 public:
  CookieJar() = default;
  explicit CookieJar(std::string text) : text_(std::move(text)) {}
  CookieJar(const CookieJar&) = delete;
  CookieJar& operator=(const CookieJar&) = delete;

  std::string Text() const;
  void SetText(std::string text);
  // MergeCookies of the current jar with newPairs, under the lock; returns the new jar.
  std::string Merge(std::string newPairs);

  // Cookies that other hosts set (a redirect's target), kept apart per host
  // key ("host:port") in the same text form: sent back only to that host,
  // never to the service, never merged into the service's text.
  std::string OtherHostText(const std::string& hostKey) const;
  void MergeForOtherHost(const std::string& hostKey, std::string newPairs);

 private:
  mutable std::mutex mutex_;
  std::string text_;
  std::map<std::string, std::string> otherHosts_;
  // True once a merge of no pairs was seen to leave text_ as it is: most
  // answers set no cookie, and the same merge would change nothing again.
  bool settled_ = false;
};

}  // namespace quillet
