#include "net/http_headers.h"

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

}  // namespace quillet::net
