#include "sim_requests.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace quillet::test {

namespace {

// A small reader for the JSON the service writes: objects, arrays, strings,
// numbers and literals. Throws std::runtime_error on anything else.
class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  std::vector<SimRequest> Requests() {
    std::vector<SimRequest> requests;
    Expect('[');
    if (Peek() == ']') return ++at_, requests;
    for (;;) {
      requests.push_back(Request());
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      Expect(']');
      return requests;
    }
  }

 private:
  SimRequest Request() {
    SimRequest request;
    Members([&](const std::string& key) {
      if (key == "method") request.method = String();
      else if (key == "path") request.path = String();
      else if (key == "query") request.query = String();
      else if (key == "body") request.body = String();
      else if (key == "headers") Members([&](const std::string& name) { request.headers.emplace_back(name, String()); });
      else Skip();
    });
    return request;
  }

  template <typename OnMember>
  void Members(OnMember&& onMember) {
    Expect('{');
    if (Peek() == '}') {
      ++at_;
      return;
    }
    for (;;) {
      Peek();
      const std::string key = String();
      Expect(':');
      onMember(key);
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      Expect('}');
      return;
    }
  }

  void Skip() {
    const char c = Peek();
    if (c == '"') {
      String();
    } else if (c == '{') {
      Members([&](const std::string&) { Skip(); });
    } else if (c == '[') {
      ++at_;
      if (Peek() == ']') {
        ++at_;
        return;
      }
      for (;;) {
        Skip();
        if (Peek() == ',') {
          ++at_;
          continue;
        }
        Expect(']');
        return;
      }
    } else {
      while (at_ < text_.size() && std::string_view(",}] \n\r\t").find(text_[at_]) == std::string_view::npos) ++at_;
    }
  }

  std::string String() {
    Expect('"');
    std::string out;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (at_ >= text_.size()) break;
      c = text_[at_++];
      switch (c) {
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': AppendUtf8(CodePoint(), out); break;
        default: out.push_back(c);
      }
    }
    Expect('"');
    return out;
  }

  unsigned CodePoint() {
    unsigned unit = Hex4();
    if (unit >= 0xD800 && unit < 0xDC00 && text_.compare(at_, 2, "\\u") == 0) {
      at_ += 2;
      const unsigned low = Hex4();
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return unit;
  }

  unsigned Hex4() {
    if (at_ + 4 > text_.size()) throw std::runtime_error("short \\u escape");
    const unsigned value = static_cast<unsigned>(std::stoul(text_.substr(at_, 4), nullptr, 16));
    at_ += 4;
    return value;
  }

  static void AppendUtf8(unsigned cp, std::string& out) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  char Peek() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
    if (at_ >= text_.size()) throw std::runtime_error("unexpected end");
    return text_[at_];
  }

  void Expect(char c) {
    if (Peek() != c) throw std::runtime_error(std::string("expected ") + c);
    ++at_;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) ==
                                                std::tolower(static_cast<unsigned char>(y)); });
}

}  // namespace

std::string SimRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (SameIgnoringCase(key, name)) return value;
  return {};
}

bool SimRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers)
    if (SameIgnoringCase(header.first, name)) return true;
  return false;
}

std::vector<SimRequest> ParseSimRequests(const std::string& json) {
  try {
    return JsonReader(json).Requests();
  } catch (const std::exception&) {
    return {};
  }
}

std::string CaptchaAnswerFor(std::vector<int> cells) {
  static const char* const kCellPoints[8] = {"38.5,40",   "110.5,35", "180,42",  "253,50",
                                             "33.5,111.5", "109,110",  "182,115", "255,117"};
  std::sort(cells.begin(), cells.end());
  std::string answer;
  for (const int cell : cells) {
    if (cell < 1 || cell > 8) continue;
    if (!answer.empty()) answer += ',';
    answer += kCellPoints[cell - 1];
  }
  return answer;
}

std::string CookieValue(const std::string& jarText, const std::string& name) {
  const std::string key = name + "=";
  std::size_t at = 0;
  while (at < jarText.size()) {
    std::size_t end = jarText.find("; ", at);
    if (end == std::string::npos) end = jarText.size();
    if (jarText.compare(at, key.size(), key) == 0) return jarText.substr(at + key.size(), end - at - key.size());
    at = end + 2;
  }
  return {};
}

bool SignIn(BookingClient& client, const SimProcess& sim, const std::string& user, const std::string& password) {
  if (client.FetchCaptcha().empty()) return false;
  const std::string session = CookieValue(client.Cookies().Text(), "JSESSIONID");
  std::string errorText;
  return client.Login(user, password, CaptchaAnswerFor(sim.CaptchaCells(session)), errorText);
}

std::string ChinaDate(int daysAhead) {
  const auto now = std::chrono::system_clock::now() + std::chrono::hours(8) + std::chrono::days(daysAhead);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
  return text;
}

}  // namespace quillet::test
