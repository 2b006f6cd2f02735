// Header-block splitting, Set-Cookie folding and the redirect cookie rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/http_headers.h"
#include "net/redirect_policy.h"

namespace quillet::net {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

Headers Parsed(std::string_view block) {
  Headers out;
  for (const RequestHeader& header : ParseHeaderBlock(block)) out.emplace_back(header.name, header.value);
  return out;
}

TEST(HeaderBlock, SplitsLinesAtFirstColonAndTrimsSpaces) {
  const struct {
    const char* block;
    Headers expected;
  } cases[] = {
      {"User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       {{"User-Agent", "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
        {"Content-Type", "application/x-www-form-urlencoded"}}},
      {"Referer: https://example.test:8443/otn/login/init", {{"Referer", "https://example.test:8443/otn/login/init"}}},
      {"Referer:https://x/a", {{"Referer", "https://x/a"}}},
      {"Accept:", {{"Accept", ""}}},
      {"  X-Pad   :   value with  inner  spaces   ", {{"X-Pad", "value with  inner  spaces"}}},
      // The full-width space (A1 A1) is trimmed too; a tab is not a space.
      {"\xA1\xA1X-Wide\xA1\xA1: \xA1\xA1v\xA1\xA1", {{"X-Wide", "v"}}},
      {"X-Tab:\tv", {{"X-Tab", "\tv"}}},
      // Empty lines and a final line break give no header.
      {"A: 1\r\n\r\nB: 2\r\n", {{"A", "1"}, {"B", "2"}}},
      {"", {}},
      // Lines the transport refuses: no colon, an empty name, a bare line break inside.
      {"NoColonHere\r\nA: 1", {{"A", "1"}}},
      {": orphan value\r\nA: 1", {{"A", "1"}}},
      {"A: 1\nInjected: yes\r\nB: 2", {{"B", "2"}}},
      // A GBK value keeps its bytes; ':' never hides in a double-byte character.
      {"X-Name: \xD6\xD0\xB9\xFA:1", {{"X-Name", "\xD6\xD0\xB9\xFA:1"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parsed(c.block), c.expected) << "block: " << c.block;
  }
}

TEST(SetCookieFolding, CollectsPairsInAnswerOrder) {
  const struct {
    std::vector<std::string> lines;
    const char* expected;
  } cases[] = {
      {{"Set-Cookie: a=1; Path=/"}, "a=1"},
      {{"Set-Cookie: b=2"}, "b=2"},
      {{"HTTP/1.1 200 OK", "Set-Cookie: a=1; Path=/", "Content-Type: text/html", "Set-Cookie: b=2"}, "a=1; b=2"},
      {{"HTTP/1.1 200 OK", "Content-Type: text/html"}, ""},
      {{}, ""},
      {{"Set-Cookie:c=3;HttpOnly"}, "c=3"},
      {{"Set-Cookie:    d=4    ; Path=/"}, "d=4"},
      // The line must say "Set-Cookie" in exactly that case...
      {{"set-cookie: a=1; Path=/"}, ""},
      // ...but without ";" every "Set-Cookie:" is removed whatever its case.
      {{"Set-Cookie: x=SET-COOKIE:y"}, "x=y"},
      // A deleting answer is passed on as it is; the merge drops it.
      {{"Set-Cookie: tk=deleted; Max-Age=0"}, "tk=deleted"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CollectSetCookiePairs(c.lines), c.expected) << "first line: " << (c.lines.empty() ? "" : c.lines[0]);
  }
}

// A Domain attribute must cover the host that set the cookie (RFC 6265
// 5.3); a cookie whose attribute names another domain is refused.
TEST(SetCookieFolding, ADomainAttributeMustCoverTheSettingHost) {
  const struct {
    const char* host;
    const char* domain;
    bool matches;
  } domains[] = {
      {"kyfw.12306.cn", "12306.cn", true},
      {"kyfw.12306.cn", ".12306.cn", true},
      {"KYFW.12306.CN", "kyfw.12306.cn", true},
      {"kyfw.12306.cn", "cn", false},
      {"kyfw.12306.cn", "evil.example", false},
      {"kyfw.12306.cn", "fw.12306.cn", false},
      {"12306.cn", "kyfw.12306.cn", false},
      {"127.0.0.1", "127.0.0.1", true},
      {"127.0.0.1", "0.0.1", false},
      {"localhost", "localhost", true},
      {"kyfw.12306.cn", "", false},
  };
  for (const auto& d : domains) EXPECT_EQ(DomainMatches(d.host, d.domain), d.matches) << d.host << " " << d.domain;

  const std::vector<std::string> lines = {
      "Set-Cookie: a=1; Path=/; Domain=12306.cn",
      "Set-Cookie: b=2; domain=.evil.example; Path=/",
      "Set-Cookie: c=3; Domain=cn",
      "Set-Cookie: d=4",
      "Set-Cookie: e=5; Domain=",
      "Set-Cookie: f=6; Domain=kyfw.12306.cn; Secure",
  };
  EXPECT_EQ(CollectSetCookiePairsFrom(lines, "kyfw.12306.cn"), "a=1; d=4; e=5; f=6");
}

TEST(RedirectCookies, FollowOnlyToTheSameHostAndPortWithoutDowngrade) {
  const struct {
    const char* from;
    const char* to;
    bool allowed;
  } cases[] = {
      {"http://127.0.0.1:8080/a", "http://127.0.0.1:8080/b?x=1", true},
      {"https://Kyfw.Example.test/otn/a", "https://kyfw.example.test:443/otn/b", true},
      {"http://127.0.0.1:8080/a", "http://127.0.0.1:8081/a", false},
      {"http://127.0.0.1:8080/a", "http://localhost:8080/a", false},
      {"https://kyfw.example.test/a", "https://evil.example.test/a", false},
      {"https://kyfw.example.test/a", "http://kyfw.example.test/a", false},
      {"https://kyfw.example.test:8443/a", "http://kyfw.example.test:8443/a", false},
      {"http://127.0.0.1:8080/a", "not a url", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CookiesMayFollowRedirect(c.from, c.to), c.allowed) << c.from << " -> " << c.to;
  }
}

}  // namespace
}  // namespace quillet::net
