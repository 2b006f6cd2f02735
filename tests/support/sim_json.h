#pragma once
// Just enough JSON reading for the rehearsal service's control answers
// (/sim/state, /sim/requests). Strings come back as UTF-8; object members
// keep the order the service wrote them in.
#include <string>
#include <utility>
#include <vector>

namespace quillet::test {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  // The first member of that name; a missing member reads as null.
  const Json& operator[](const std::string& key) const;
};

class JsonReader {
 public:
  // False when the text is not one well-formed JSON value.
  static bool Parse(const std::string& text, Json& out);

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}

  void SkipBlanks();
  bool Literal(const char* word);
  bool Value(Json& out);
  bool Object(Json& out);
  bool Array(Json& out);
  bool Hex4(unsigned& value);
  bool String(std::string& out);

  const std::string& s_;
  std::size_t pos_ = 0;
};

}  // namespace quillet::test
