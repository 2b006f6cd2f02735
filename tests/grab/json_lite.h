#pragma once
// Just enough JSON reading for the rehearsal service's control answers
// (/sim/state, /sim/requests). Strings come back as UTF-8.
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillet::test {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  // A missing member reads as null.
  const Json& operator[](const std::string& key) const {
    static const Json none;
    auto it = members.find(key);
    return it == members.end() ? none : it->second;
  }
};

class JsonReader {
 public:
  // False when the text is not one well-formed JSON value.
  static bool Parse(const std::string& text, Json& out) {
    JsonReader reader(text);
    if (!reader.Value(out)) return false;
    reader.SkipBlanks();
    return reader.pos_ == text.size();
  }

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}

  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (s_.compare(pos_, w.size(), w) != 0) return false;
    pos_ += w.size();
    return true;
  }
  bool Value(Json& out) {
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
    pos_ = end - s_.c_str();
    return true;
  }
  bool Object(Json& out) {
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
      if (!Value(out.members[key])) return false;
      SkipBlanks();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      return s_[pos_++] == '}';
    }
  }
  bool Array(Json& out) {
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
  bool Hex4(unsigned& value) {
    if (pos_ + 4 > s_.size()) return false;
    value = static_cast<unsigned>(std::strtoul(s_.substr(pos_, 4).c_str(), nullptr, 16));
    pos_ += 4;
    return true;
  }
  static void AppendUtf8(std::string& out, unsigned cp) {
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
  bool String(std::string& out) {
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
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
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
        default: out += e;
      }
    }
    return false;
  }

  const std::string& s_;
  std::size_t pos_ = 0;
};

}  // namespace quillet::test
