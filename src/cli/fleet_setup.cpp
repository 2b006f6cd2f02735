#include "cli/fleet_setup.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <set>

#include "fleet/fleet_work_share.h"
#include "util/codepage.h"
#include "util/messages.h"
#include "util/text.h"

namespace quillet::cli {

FleetChoice ChooseFleet(const CommandLine& line, const Plan& plan, const char* environmentPassword) {
  FleetChoice choice;
  const std::string url = line.fleet.empty() ? plan.fleet.redis : line.fleet;
  choice.sourceAddress = line.sourceAddress.empty() ? plan.fleet.sourceAddress : line.sourceAddress;
  if (url.empty()) {
    if (!line.sourceAddress.empty()) choice.error = _("--source-address belongs to a fleet: give --fleet or [fleet]");
    return choice;
  }
  const fleet::RedisUrlResult parsed =
      fleet::ParseRedisUrl(url, environmentPassword != nullptr ? environmentPassword : "");
  if (!parsed.Ok()) {
    choice.error = parsed.problem == fleet::RedisUrlProblem::kTlsUnavailable
                       ? _("rediss:// (TLS) is not available in this build; reach Redis through a tunnel")
                       : Format(_("the fleet's Redis %s is not redis://[[user]:password@]host[:port][/db]"), url);
    return choice;
  }
  choice.address = parsed.address;
  choice.name = plan.fleet.name.empty() ? std::filesystem::path(plan.path).stem().string() : plan.fleet.name;
  const bool ipv6 = choice.address->host.find(':') != std::string::npos;
  choice.where = (ipv6 ? "[" + choice.address->host + "]" : choice.address->host) + ":" +
                 std::to_string(choice.address->port) + "/" + std::to_string(choice.address->database);
  return choice;
}

std::string FleetMemberId() {
  char host[HOST_NAME_MAX + 1] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return std::string(host[0] != '\0' ? host : "member") + "-" + std::to_string(::getpid());
}

std::string FleetWishName(const std::string& account, std::size_t wishIndex) {
  return fleet::DefaultWishName(account, wishIndex);
}

namespace {

// Fields and records apart by the ASCII unit and record separators, which
// no name or number holds.
constexpr char kFieldEnd = '\x1f';
constexpr char kRecordEnd = '\x1e';

std::vector<std::string*> FieldsOf(PassengerRecord& p) {
  return {&p.passenger_name,         &p.sex_name,
          &p.passenger_type,         &p.passenger_type_name,
          &p.passenger_id_type_code, &p.passenger_id_type_name,
          &p.passenger_id_no,        &p.mobile_no};
}

}  // namespace

std::string PassengersText(const std::vector<PassengerRecord>& passengers) {
  std::string text;
  for (PassengerRecord p : passengers) {
    for (const std::string* field : FieldsOf(p)) text += *field + kFieldEnd;
    text += kRecordEnd;
  }
  return text;
}

std::optional<std::vector<PassengerRecord>> PassengersFromText(const std::string& text) {
  std::vector<PassengerRecord> passengers;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(kRecordEnd, start);
    if (end == std::string::npos) return std::nullopt;
    const std::string record = text.substr(start, end - start);
    PassengerRecord p;
    std::size_t from = 0;
    for (std::string* field : FieldsOf(p)) {
      const std::size_t stop = record.find(kFieldEnd, from);
      if (stop == std::string::npos) return std::nullopt;
      *field = record.substr(from, stop - from);
      from = stop + 1;
    }
    if (from != record.size()) return std::nullopt;
    passengers.push_back(std::move(p));
    start = end + 1;
  }
  return passengers;
}

std::string RedisFailureText(fleet::RedisFailure failure) {
  switch (failure) {
    case fleet::RedisFailure::kNone:
      return {};
    case fleet::RedisFailure::kUnreachable:
      return _("no connection could be made");
    case fleet::RedisFailure::kConnectionLost:
      return _("the connection broke or timed out");
    case fleet::RedisFailure::kAuthRefused:
      return _("the password or database was refused");
    case fleet::RedisFailure::kServerError:
      return _("Redis answered with an error");
    case fleet::RedisFailure::kUnexpectedReply:
      return _("Redis gave an unexpected answer");
  }
  return {};
}

namespace {

std::string SecondsAgo(std::int64_t thenMs, std::int64_t nowMs) {
  const std::int64_t ms = nowMs > thenMs ? nowMs - thenMs : 0;
  return Format(_("%s s ago"), std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100));
}

}  // namespace

std::string FleetStatusText(const fleet::FleetStatus& status, const Plan& plan, std::int64_t nowUnixMs) {
  std::string out = _("Members") + std::string("\n");
  if (status.members.empty()) out += "  " + std::string(_("none alive")) + "\n";
  for (const fleet::MemberStatus& member : status.members) {
    out += "  " + member.id + "  " + (member.address.empty() ? std::string("-") : member.address) + "  " +
           Format(_("last heartbeat %s"), SecondsAgo(member.lastBeatUnixMs, nowUnixMs)) + "\n";
  }
  out += _("Accounts") + std::string("\n");
  std::set<std::string> accounts;
  for (const PlanAccount& account : plan.accounts) accounts.insert(account.name);
  for (const fleet::AccountStatus& account : status.accounts) accounts.insert(account.account);
  for (const std::string& account : accounts) {
    std::string holder;
    for (const fleet::AccountStatus& seen : status.accounts) {
      if (seen.account == account) holder = seen.holder;
    }
    out += "  " + Utf8FromGbk(account) + "  " +
           (holder.empty() ? std::string(_("held by nobody")) : Format(_("held by %s"), holder)) + "\n";
  }
  out += _("Wishes") + std::string("\n");
  std::set<std::string> wishes;
  for (const PlanAccount& account : plan.accounts) {
    for (std::size_t w = 0; w < account.wishes.size(); ++w) wishes.insert(FleetWishName(account.name, w));
  }
  for (const fleet::WishStatus& wish : status.wishes) wishes.insert(wish.wish);
  for (const std::string& name : wishes) {
    fleet::WishStatus wish;
    wish.wish = name;
    for (const fleet::WishStatus& seen : status.wishes) {
      if (seen.wish == name) wish = seen;
    }
    std::string outcome = _("open");
    if (wish.outcome && wish.outcome->kind == fleet::WishOutcomeKind::kBooked) {
      outcome = Format(_("booked by %s, order %s"), wish.outcome->member,
                       wish.outcome->orderId.empty() ? std::string("-") : wish.outcome->orderId);
    } else if (wish.outcome) {
      outcome = Format(_("manual check (recorded by %s)"), wish.outcome->member);
    } else if (!wish.lockHolder.empty()) {
      outcome = Format(_("being ordered by %s"), wish.lockHolder);
    }
    out += "  " + Utf8FromGbk(name) + "  " + Format(_("%s attempts"), std::to_string(wish.attempts)) + ", " + outcome +
           "\n";
  }
  return out;
}

}  // namespace quillet::cli
