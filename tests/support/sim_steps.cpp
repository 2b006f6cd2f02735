#include "support/sim_steps.h"

#include <algorithm>
#include <cctype>

#include "support/sim_json.h"
#include "util/codepage.h"

namespace quillet::test {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool AllStrings(const Json& object) {
  return std::all_of(object.members.begin(), object.members.end(),
                     [](const auto& member) { return member.second.kind == Json::Kind::String; });
}

// A log entry must be an object whose texts are strings; anything else
// means the log is not what the service writes.
bool ReadRequest(const Json& item, SimRequest& request) {
  if (item.kind != Json::Kind::Object) return false;
  for (const char* key : {"method", "path", "query", "body"}) {
    const Json& field = item[key];
    if (field.kind != Json::Kind::Null && field.kind != Json::Kind::String) return false;
  }
  const Json& headers = item["headers"];
  if (headers.kind != Json::Kind::Null && (headers.kind != Json::Kind::Object || !AllStrings(headers))) return false;
  request.t = item["t"].number;
  request.method = item["method"].text;
  request.path = item["path"].text;
  request.query = item["query"].text;
  request.body = item["body"].text;
  for (const auto& [name, value] : headers.members) request.headers.emplace_back(name, value.text);
  return true;
}

}  // namespace

std::string SimRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (SameIgnoringCase(key, name)) return value;
  return {};
}

bool SimRequest::HasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& header) { return SameIgnoringCase(header.first, name); });
}

std::vector<SimRequest> ParseSimRequests(const std::string& json) {
  Json root;
  if (!JsonReader::Parse(json, root) || root.kind != Json::Kind::Array) return {};
  std::vector<SimRequest> requests(root.items.size());
  for (std::size_t i = 0; i < root.items.size(); ++i) {
    if (!ReadRequest(root.items[i], requests[i])) return {};
  }
  return requests;
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
  if (client.FetchCaptcha().picture.empty()) return false;
  const std::string session = CookieValue(client.Cookies().Text(), "JSESSIONID");
  if (session.empty()) return false;
  return client.Login(user, password, CaptchaAnswer(sim.CaptchaCells(session))).Done();
}

bool SignIn(BookingClient& client, const SimProcess& sim, int tries) {
  for (int i = 0; i < tries; ++i) {
    if (SignIn(client, sim) && client.CheckUser().Done()) return true;
  }
  return false;
}

}  // namespace quillet::test
