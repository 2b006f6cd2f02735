#include "support/sim_json.h"

#include <cstdlib>
#include <cstring>

namespace quillet::test {

namespace {

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  static const Json none;
  for (const auto& [name, value] : members) {
    if (name == key) return value;
  }
  return none;
}

bool JsonReader::Parse(const std::string& text, Json& out) {
  JsonReader reader(text);
  if (!reader.Value(out)) return false;
  reader.SkipBlanks();
  return reader.pos_ == text.size();
}

void JsonReader::SkipBlanks() {
  while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
}

bool JsonReader::Literal(const char* word) {
  const std::size_t length = std::strlen(word);
  if (s_.compare(pos_, length, word) != 0) return false;
  pos_ += length;
  return true;
}

bool JsonReader::Value(Json& out) {
  SkipBlanks();
  if (pos_ >= s_.size()) return false;
  const char c = s_[pos_];
  if (c == '{') return Object(out);
  if (c == '[') return Array(out);
  if (c == '"') {
    out.kind = Json::Kind::String;
    return String(out.text);
  }
  if (Literal("true")) {
    out.kind = Json::Kind::Bool;
    out.boolean = true;
    return true;
  }
  if (Literal("false")) {
    out.kind = Json::Kind::Bool;
    return true;
  }
  if (Literal("null")) return true;
  char* end = nullptr;
  out.number = std::strtod(s_.c_str() + pos_, &end);
  if (end == s_.c_str() + pos_) return false;
  out.kind = Json::Kind::Number;
  pos_ = static_cast<std::size_t>(end - s_.c_str());
  return true;
}

bool JsonReader::Object(Json& out) {
  out.kind = Json::Kind::Object;
  ++pos_;
  SkipBlanks();
  if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
  for (;;) {
    SkipBlanks();
    std::string key;
    if (pos_ >= s_.size() || s_[pos_] != '"' || !String(key)) return false;
    SkipBlanks();
    if (pos_ >= s_.size() || s_[pos_++] != ':') return false;
    out.members.emplace_back(std::move(key), Json{});
    if (!Value(out.members.back().second)) return false;
    SkipBlanks();
    if (pos_ >= s_.size()) return false;
    if (s_[pos_] == ',') {
      ++pos_;
      continue;
    }
    return s_[pos_++] == '}';
  }
}

bool JsonReader::Array(Json& out) {
  out.kind = Json::Kind::Array;
  ++pos_;
  SkipBlanks();
  if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
  for (;;) {
    out.items.emplace_back();
    if (!Value(out.items.back())) return false;
    SkipBlanks();
    if (pos_ >= s_.size()) return false;
    if (s_[pos_] == ',') {
      ++pos_;
      continue;
    }
    return s_[pos_++] == ']';
  }
}

// Exactly four hex digits; anything shorter or other is malformed.
bool JsonReader::Hex4(unsigned& value) {
  if (pos_ + 4 > s_.size()) return false;
  value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const char c = s_[pos_ + i];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
    value = value * 16 + digit;
  }
  pos_ += 4;
  return true;
}

bool JsonReader::String(std::string& out) {
  ++pos_;  // opening quote
  while (pos_ < s_.size()) {
    const char c = s_[pos_++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos_ >= s_.size()) return false;
    const char e = s_[pos_++];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        unsigned cp = 0;
        if (!Hex4(cp)) return false;
        if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
          pos_ += 2;
          unsigned low = 0;
          if (!Hex4(low)) return false;
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, cp);
        break;
      }
      default:
        out += e;
    }
  }
  return false;
}

}  // namespace quillet::test
