#include "text_codec.h"

#include <array>
#include <cstdint>

#include "util/text.h"

namespace quillet::sim {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

FormFields ParseForm(std::string_view text) {
  FormFields fields;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('&', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = text.substr(pos, end - pos);
    if (!piece.empty()) {
      const std::size_t eq = piece.find('=');
      std::string key = PercentDecode(piece.substr(0, eq), true);
      std::string value = eq == std::string_view::npos ? std::string() : PercentDecode(piece.substr(eq + 1), true);
      fields.emplace(std::move(key), std::move(value));
    }
    pos = end + 1;
  }
  return fields;
}

std::string Field(const FormFields& fields, const std::string& key) {
  const auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

std::string PercentDecode(std::string_view text, bool plusAsSpace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2])));
      i += 2;
    } else if (c == '+' && plusAsSpace) {
      out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string PercentEncode(std::string_view bytes, std::string_view keepMarks) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        keepMarks.find(static_cast<char>(c)) != std::string_view::npos) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> ParseCookieHeader(std::string_view header) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::size_t pos = 0;
  while (pos <= header.size()) {
    std::size_t end = header.find(';', pos);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view piece = Trim(header.substr(pos, end - pos));
    const std::size_t eq = piece.find('=');
    if (!piece.empty() && eq != std::string_view::npos && eq > 0) {
      pairs.emplace_back(std::string(Trim(piece.substr(0, eq))), std::string(Trim(piece.substr(eq + 1))));
    }
    pos = end + 1;
  }
  return pairs;
}

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  const auto b = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t v = (b(i) << 16) | (b(i + 1) << 8) | b(i + 2);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i + 1 == bytes.size()) {
    const std::uint32_t v = b(i) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const std::uint32_t v = (b(i) << 16) | (b(i + 1) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  const auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  const std::size_t dataChars = text.size() - padding;
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = 0; i < dataChars; ++i) {
    const int v = value(text[i]);
    if (v < 0) return false;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return true;
}

}  // namespace quillet::sim
