#include "net/http_headers.h"

#include <optional>

#include "util/text.h"

namespace quillet::net {

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::vector<RequestHeader> ParseHeaderBlock(std::string_view headerBlock) {
  std::vector<RequestHeader> headers;
  for (const std::string& line : SplitText(headerBlock, "\r\n")) {
    if (line.empty()) continue;
    if (line.find_first_of("\r\n") != std::string::npos) continue;
    // ':' never occurs as the second byte of a double-byte character, so a
    // plain byte search finds the first real colon.
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string_view whole(line);
    RequestHeader header{TrimSpaces(whole.substr(0, colon)), TrimSpaces(whole.substr(colon + 1))};
    if (header.name.empty()) continue;
    headers.push_back(std::move(header));
  }
  return headers;
}

std::string CurlHeaderLine(const RequestHeader& header) {
  if (header.value.empty()) return header.name + ";";
  return header.name + ": " + header.value;
}

std::string CollectSetCookiePairs(const std::vector<std::string>& headerLines) {
  std::string pairs;
  for (const std::string& line : headerLines) {
    if (FindText(line, "Set-Cookie") == kNotFound) continue;
    std::string piece;
    if (FindText(line, ";") != kNotFound) {
      piece = TextBetween(line, "Set-Cookie:", ";");
    } else {
      piece = ReplaceText(line, "Set-Cookie:", "", 1, kAll, /*caseSensitive=*/false);
    }
    pairs += TrimSpaces(piece);
    pairs += "; ";
  }
  if (!pairs.empty()) pairs.resize(pairs.size() - 2);
  return pairs;
}

namespace {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsIpAddress(std::string_view host) {
  if (host.find(':') != std::string_view::npos || host.starts_with('[')) return true;  // IPv6
  return !host.empty() && host.find_first_not_of("0123456789.") == std::string_view::npos;
}

// The Domain attribute of a Set-Cookie line (the last one counts), or
// nothing when it has none.
std::optional<std::string> DomainAttribute(std::string_view line) {
  std::optional<std::string> domain;
  std::size_t at = line.find(';');
  while (at != std::string_view::npos) {
    const std::size_t next = line.find(';', at + 1);
    const std::string_view attribute =
        line.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1);
    const std::size_t equals = attribute.find('=');
    if (EqualsIgnoreAsciiCase(TrimSpaces(attribute.substr(0, equals)), "domain")) {
      domain = equals == std::string_view::npos ? std::string() : TrimSpaces(attribute.substr(equals + 1));
    }
    at = next;
  }
  return domain;
}

}  // namespace

bool DomainMatches(std::string_view host, std::string_view domain) {
  if (domain.starts_with('.')) domain.remove_prefix(1);
  const std::string h = LowerAscii(host);
  const std::string d = LowerAscii(domain);
  if (d.empty()) return false;
  if (h == d) return true;
  if (IsIpAddress(h) || d.find('.') == std::string::npos) return false;
  return h.size() > d.size() && h.ends_with(d) && h[h.size() - d.size() - 1] == '.';
}

std::string CollectSetCookiePairsFrom(const std::vector<std::string>& headerLines, std::string_view host) {
  std::vector<std::string> kept;
  for (const std::string& line : headerLines) {
    if (FindText(line, "Set-Cookie") == kNotFound) continue;
    const std::optional<std::string> domain = DomainAttribute(line);
    // An empty Domain attribute is ignored, as if it were not there.
    if (domain && !domain->empty() && !DomainMatches(host, *domain)) continue;
    kept.push_back(line);
  }
  return CollectSetCookiePairs(kept);
}

}  // namespace quillet::net
