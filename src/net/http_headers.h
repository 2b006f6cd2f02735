#pragma once
// The text side of an exchange: request header blocks in, Set-Cookie lines out.
#include <string>
#include <string_view>
#include <vector>

namespace quillet::net {

// Header names and URL parts compare without regard to ASCII letter case.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

struct RequestHeader {
  std::string name;   // program text, trimmed of spaces
  std::string value;  // program text, trimmed of spaces; may be empty
};

// Splits a header block at "\r\n" and each line at its first ":". Empty lines
// are skipped, and so are lines that the transport would refuse: no colon or
// an empty name, or a line break inside the line (it could smuggle in an
// extra header).
std::vector<RequestHeader> ParseHeaderBlock(std::string_view headerBlock);

// The header in the form libcurl takes: "Name: value", or "Name;" which makes
// libcurl send the header with an empty value ("Name:" alone would remove it).
std::string CurlHeaderLine(const RequestHeader& header);

// The cookie pairs that answer header lines set, joined by "; " in order. A
// line counts when it contains "Set-Cookie" (exact case); with a ";" the pair
// is the text between "Set-Cookie:" and the first ";" after it, otherwise the
// whole line without "Set-Cookie:" (any case). Pairs are trimmed of spaces.
std::string CollectSetCookiePairs(const std::vector<std::string>& headerLines);

// RFC 6265 5.1.3: `host` (a host name or an IP address, any letter case) lies
// in `domain` (a Domain attribute's value, a leading dot ignored): equal to
// it, or a name ending in "." + domain. A bare top-level name ("cn") and an
// empty one cover nothing; an IP address only itself.
bool DomainMatches(std::string_view host, std::string_view domain);

// CollectSetCookiePairs over the lines a cookie set by `host` may come from:
// a line whose Domain attribute does not cover `host` is left out, as a
// browser refuses such a cookie.
std::string CollectSetCookiePairsFrom(const std::vector<std::string>& headerLines, std::string_view host);

}  // namespace quillet::net
