#include "cli/plan_reader.h"

#include "cli/plan_pacing.h"
#include "fleet/redis_url.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <system_error>

#include "booking/client.h"
#include "cli/station_match.h"
#include "cli/toml_guard.h"
#include "cli/travel_date.h"
#include "grab/grab_controller.h"
#include "grab/order_tables.h"
#include "grab/order_wish.h"
#include "grab/texts.h"
#include "grab/waitlist_choice.h"
#include "util/china_moment.h"
#include "util/codepage.h"
#include "util/messages.h"
#include "util/text.h"
#include "web/web_address.h"

namespace quillet::cli {
namespace {

using Report = std::function<void(const toml::node* where, const std::string& message)>;

int LineOf(const toml::node* node) { return node ? static_cast<int>(node->source().begin.line) : 0; }

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

// One key a table may hold: how to read it and whether it must be there.
struct KeyRule {
  std::string_view key;
  bool required;
  std::function<void(const toml::node&)> read;
};

// Reads every key through its rule; any other key is an error.
void ReadTable(const toml::table& table, const std::vector<KeyRule>& rules, const std::string& where,
               const Report& report) {
  for (const auto& [key, node] : table) {
    const std::string_view name = key.str();
    const auto rule = std::find_if(rules.begin(), rules.end(), [name](const KeyRule& r) { return r.key == name; });
    if (rule == rules.end()) {
      report(&node, where + Format(_("unknown key %s"), Quote(key.str())));
      continue;
    }
    rule->read(node);
  }
  for (const KeyRule& rule : rules) {
    if (rule.required && !table.contains(rule.key))
      report(&table, where + Format(_("missing key %s"), Quote(rule.key)));
  }
}

std::optional<std::string> StringOf(const toml::node& node, const std::string& what, const Report& report) {
  if (const auto* text = node.as_string()) return text->get();
  report(&node, Format(_("%s must be a text in quotes"), what));
  return std::nullopt;
}

// The texts of an array, each with its node; anything else, and a text named
// a second time, is reported and left out. Nothing when the value is no
// array, or is empty although it may not be.
std::optional<std::vector<std::pair<std::string, const toml::node*>>> StringsOf(const toml::node& node,
                                                                                const std::string& what,
                                                                                bool mayBeEmpty, const Report& report) {
  const toml::array* array = node.as_array();
  if (array == nullptr) {
    report(&node, Format(_("%s must be a list of texts, such as [\"a\", \"b\"]"), what));
    return std::nullopt;
  }
  if (array->empty() && !mayBeEmpty) {
    report(&node, Format(_("%s must not be empty"), what));
    return std::nullopt;
  }
  std::vector<std::pair<std::string, const toml::node*>> items;
  for (const toml::node& element : *array) {
    const auto* text = element.as_string();
    if (text == nullptr) {
      report(&element, Format(_("%s must hold texts in quotes only"), what));
      continue;
    }
    const bool twice =
        std::any_of(items.begin(), items.end(), [&](const auto& item) { return item.first == text->get(); });
    if (twice) {
      report(&element, Format(_("%s names %s twice"), what, Quote(text->get())));
      continue;
    }
    items.emplace_back(text->get(), &element);
  }
  return items;
}

// An optional letter of the service's train kinds, then 1 to 4 digits:
// G101, D3, K1159, 1461.
bool IsTrainCode(const std::string& code) {
  static constexpr std::string_view kKinds = "GDCZTKSYL";
  std::size_t digitsFrom = 0;
  if (!code.empty() && kKinds.find(code[0]) != std::string_view::npos) digitsFrom = 1;
  const std::size_t digits = code.size() - digitsFrom;
  return digits >= 1 && digits <= 4 &&
         std::all_of(code.begin() + static_cast<long>(digitsFrom), code.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The code a person most likely meant when letters stand where digits belong
// (G7O29 for G7029); empty when that does not make a train code either.
std::string TrainCodeMeant(const std::string& code) {
  if (code.empty()) return {};
  std::string meant = code;
  for (std::size_t i = 1; i < meant.size(); ++i) {
    if (meant[i] == 'O') meant[i] = '0';
    if (meant[i] == 'I' || meant[i] == 'L') meant[i] = '1';
  }
  return meant != code && IsTrainCode(meant) ? meant : std::string();
}

// The seat classes an order can name: those with a code of the service.
std::vector<std::string> OrderableSeatNames() {
  std::vector<std::string> names;
  for (const SeatType& seat : SeatTypes()) {
    if (*seat.code != '\0') names.push_back(seat.name());
  }
  return names;
}

std::string JoinUtf8(const std::vector<std::string>& gbkTexts) {
  std::string out;
  for (const std::string& text : gbkTexts) out += (out.empty() ? "" : ", ") + Utf8FromGbk(text);
  return out;
}

class PlanChecker {
 public:
  PlanChecker(const std::string& path, const StationDirectory& stations, std::chrono::sys_days today,
              PlanReading& reading)
      : path_(path), stations_(stations), today_(today), reading_(reading) {
    report_ = [this](const toml::node* where, const std::string& message) {
      reading_.errors.push_back({path_, LineOf(where), message});
    };
  }

  void Read(const toml::table& root) {
    Plan& plan = reading_.plan;
    plan.path = path_;
    plan.service = kRealServiceAddress;
    ReadTable(root,
              {
                  {"service", false, [&](const toml::node& n) { ReadService(n); }},
                  {"ca_file", false, [&](const toml::node& n) { ReadCaFile(n); }},
                  {"account", true, [&](const toml::node& n) { ReadAccountOrAccounts(n); }},
                  {"sign_in", false, [&](const toml::node& n) { ReadSignIn(n, plan.signIn); }},
                  {"wish", false, [&](const toml::node& n) { ReadWishes(n, "wish", plan.wishes); }},
                  {"notify", false, [&](const toml::node& n) { ReadNotify(n); }},
                  {"web", false, [&](const toml::node& n) { ReadWeb(n); }},
                  {"fleet", false, [&](const toml::node& n) { ReadFleet(n); }},
                  {"service_hours", false, [&](const toml::node& n) { ReadServiceHours(n, plan, report_); }},
                  {"max_queries_per_second", false, [&](const toml::node& n) { ReadQueryBudget(n, plan, report_); }},
                  {"password", false,
                   [&](const toml::node& n) {
                     report_(&n, _("password does not belong in a plan: the password comes from QUILLET_PASSWORD "
                                   "or is asked for on the terminal, never from the plan"));
                   }},
              },
              "", report_);
    FinishAccounts(root);
  }

 private:
  void ReadAccountOrAccounts(const toml::node& node) {
    if (const toml::array* tables = node.as_array(); tables != nullptr && tables->is_array_of_tables()) {
      reading_.plan.accountTables = true;
      for (const toml::node& element : *tables) ReadAccountTable(*element.as_table());
      return;
    }
    ReadAccount(node);
  }

  void ReadAccountTable(const toml::table& table) {
    PlanAccount account;
    account.line = LineOf(&table);
    std::optional<SignInMethod> signIn;
    const std::string where = Format(_("account %s: "), std::to_string(reading_.plan.accounts.size() + 1));
    ReadTable(table,
              {
                  {"name", true,
                   [&](const toml::node& n) {
                     const auto text = StringOf(n, "account: name", report_);
                     if (!text) return;
                     if (text->empty()) {
                       report_(&n, _("account: name must not be empty"));
                       return;
                     }
                     account.name = GbkFromUtf8(*text);
                   }},
                  {"sign_in", false,
                   [&](const toml::node& n) {
                     SignInMethod method = SignInMethod::kCaptcha;
                     if (ReadSignIn(n, method)) signIn = method;
                   }},
                  {"wish", true, [&](const toml::node& n) { ReadWishes(n, "account.wish", account.wishes); }},
              },
              where, report_);
    for (const PlanAccount& earlier : reading_.plan.accounts) {
      if (!account.name.empty() && earlier.name == account.name) {
        report_(&table, where + Format(_("the account %s is named twice"), Utf8FromGbk(account.name)));
      }
    }
    // Without a sign_in of its own the account signs in as the plan's sign_in says.
    account.signIn = signIn.value_or(SignInMethod::kCaptcha);
    ownSignIn_.push_back(signIn.has_value());
    reading_.plan.accounts.push_back(std::move(account));
  }

  // The single form becomes one account; [[account]] tables lend the first
  // account to the plan's own fields.
  void FinishAccounts(const toml::table& root) {
    Plan& plan = reading_.plan;
    if (!plan.accountTables) {
      if (!root.contains("wish") && root.contains("account"))
        report_(&root, Format(_("missing key %s"), Quote("wish")));
      plan.accounts = {PlanAccount{0, plan.account, plan.signIn, plan.wishes}};
      return;
    }
    if (const toml::node* wish = root.get("wish")) {
      report_(wish, _("with [[account]] tables every wish belongs to its account, as [[account.wish]]"));
    }
    for (std::size_t i = 0; i < plan.accounts.size(); ++i) {
      if (!ownSignIn_[i]) plan.accounts[i].signIn = plan.signIn;
    }
    if (plan.accounts.empty()) return;
    plan.account = plan.accounts.front().name;
    plan.signIn = plan.accounts.front().signIn;
    plan.wishes = plan.accounts.front().wishes;
  }

  void ReadService(const toml::node& node) {
    const auto text = StringOf(node, "service", report_);
    if (!text) return;
    if (text->rfind("https://", 0) != 0 && text->rfind("http://", 0) != 0) {
      report_(&node, _("service must be an address beginning with https:// or http://"));
      return;
    }
    std::string service = *text;
    while (!service.empty() && service.back() == '/') service.pop_back();
    reading_.plan.service = service;
  }

  void ReadCaFile(const toml::node& node) {
    const auto text = StringOf(node, "ca_file", report_);
    if (!text) return;
    std::filesystem::path file(*text);
    if (file.is_relative()) file = std::filesystem::absolute(std::filesystem::path(path_)).parent_path() / file;
    file = file.lexically_normal();
    std::error_code error;
    if (text->empty() || !std::filesystem::is_regular_file(file, error)) {
      report_(&node, Format(_("ca_file %s is not a file"), Quote(file.string())));
      return;
    }
    reading_.plan.caFile = file.string();
  }

  void ReadAccount(const toml::node& node) {
    const auto text = StringOf(node, "account", report_);
    if (!text) return;
    if (text->empty()) {
      report_(&node, _("account must not be empty"));
      return;
    }
    reading_.plan.account = GbkFromUtf8(*text);
  }

  bool ReadSignIn(const toml::node& node, SignInMethod& method) {
    const auto text = StringOf(node, "sign_in", report_);
    if (!text) return false;
    if (*text == "captcha") {
      method = SignInMethod::kCaptcha;
    } else if (*text == "qr") {
      method = SignInMethod::kQr;
    } else {
      report_(&node, "sign_in must be \"captcha\" or \"qr\"");
      return false;
    }
    return true;
  }

  void ReadNotify(const toml::node& node) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
      report_(&node, _("notify must be written as a [notify] table"));
      return;
    }
    PlanNotify& notify = reading_.plan.notify;
    ReadTable(*table,
              {
                  {"url", false, [&](const toml::node& n) { ReadNotifyUrl(n, notify.url); }},
                  {"command", false, [&](const toml::node& n) { ReadNotifyCommand(n, notify.command); }},
              },
              "notify: ", report_);
  }

  void ReadFleet(const toml::node& node) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
      report_(&node, _("fleet must be written as a [fleet] table"));
      return;
    }
    PlanFleet& fleet = reading_.plan.fleet;
    ReadTable(*table,
              {
                  {"redis", false,
                   [&](const toml::node& n) {
                     const auto text = StringOf(n, "fleet: redis", report_);
                     if (!text) return;
                     // The password may come later from the environment: only the form is checked here.
                     const fleet::RedisUrlResult url = fleet::ParseRedisUrl(*text, "");
                     if (!url.Ok()) {
                       report_(&n,
                               url.problem == fleet::RedisUrlProblem::kTlsUnavailable
                                   ? std::string(_("fleet: redis: rediss:// (TLS) is not available in this "
                                                   "build; reach Redis through a tunnel"))
                                   : std::string(_("fleet: redis must be redis://[[user]:password@]host[:port][/db]")));
                       return;
                     }
                     fleet.redis = *text;
                   }},
                  {"name", true,
                   [&](const toml::node& n) {
                     const auto text = StringOf(n, "fleet: name", report_);
                     if (!text) return;
                     if (text->empty() || text->find_first_of(" \t\r\n:") != std::string::npos) {
                       report_(&n, _("fleet: name must be a word without spaces or colons"));
                       return;
                     }
                     fleet.name = *text;
                   }},
                  {"source_address", false,
                   [&](const toml::node& n) {
                     const auto text = StringOf(n, "fleet: source_address", report_);
                     if (text) fleet.sourceAddress = *text;
                   }},
              },
              "fleet: ", report_);
  }

  void ReadWeb(const toml::node& node) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
      report_(&node, _("web must be written as a [web] table"));
      return;
    }
    PlanWeb& web = reading_.plan.web;
    ReadTable(*table,
              {
                  {"listen", false,
                   [&](const toml::node& n) {
                     const auto text = StringOf(n, "web: listen", report_);
                     if (!text) return;
                     if (!quillet::web::ParseWebAddress(*text)) {
                       report_(&n, _("web: listen must be [ADDRESS:]PORT, e.g. \"127.0.0.1:8765\""));
                       return;
                     }
                     web.listen = *text;
                   }},
                  {"cert", false, [&](const toml::node& n) { ReadWebFile(n, "web: cert", web.cert); }},
                  {"key", false, [&](const toml::node& n) { ReadWebFile(n, "web: key", web.key); }},
              },
              "web: ", report_);
    if (table->contains("cert") != table->contains("key")) report_(&node, _("web: cert and key go together"));
  }

  void ReadWebFile(const toml::node& node, const char* what, std::string& path) {
    const auto text = StringOf(node, what, report_);
    if (!text) return;
    std::filesystem::path file(*text);
    if (file.is_relative()) file = std::filesystem::absolute(std::filesystem::path(path_)).parent_path() / file;
    file = file.lexically_normal();
    std::error_code error;
    if (text->empty() || !std::filesystem::is_regular_file(file, error)) {
      report_(&node, Format(_("%s: %s is not a file"), what, Quote(file.string())));
      return;
    }
    path = file.string();
  }

  void ReadNotifyUrl(const toml::node& node, std::string& url) {
    const auto text = StringOf(node, "notify: url", report_);
    if (!text) return;
    if (text->rfind("https://", 0) != 0 && text->rfind("http://", 0) != 0) {
      report_(&node, _("notify: url must be an address beginning with https:// or http://"));
      return;
    }
    url = *text;
  }

  // Program and arguments, run without a shell: every item is one argument,
  // the same text may stand twice.
  void ReadNotifyCommand(const toml::node& node, std::vector<std::string>& command) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty()) {
      report_(&node,
              _("notify: command must be a list of texts, the program first, such as [\"my-push\", \"--phone\"]"));
      return;
    }
    std::vector<std::string> items;
    for (const toml::node& element : *array) {
      const auto* text = element.as_string();
      if (text == nullptr) {
        report_(&element, _("notify: command must hold texts in quotes only"));
        return;
      }
      items.push_back(text->get());
    }
    if (items.front().empty()) {
      report_(&node, _("notify: command names no program"));
      return;
    }
    command = std::move(items);
  }

  void ReadWishes(const toml::node& node, const std::string& key, std::vector<PlanWish>& into) {
    const toml::array* wishes = node.as_array();
    if (wishes == nullptr || !wishes->is_array_of_tables()) {
      report_(&node, key == "wish" ? std::string(_("wish must be written as [[wish]] tables"))
                                   : std::string(_("account: wish must be written as [[account.wish]] tables")));
      return;
    }
    int number = 0;
    for (const toml::node& element : *wishes) ReadWish(*element.as_table(), ++number, into);
  }

  void ReadWish(const toml::table& table, int number, std::vector<PlanWish>& into) {
    const std::string where = Format(_("wish %s: "), std::to_string(number));
    PlanWish wish;
    wish.line = LineOf(&table);
    const std::size_t errorsBefore = reading_.errors.size();
    const toml::node* fromNode = nullptr;
    const toml::node* orderNode = nullptr;
    const toml::node* positionsNode = nullptr;
    const toml::node* berthsNode = nullptr;
    ReadTable(
        table,
        {
            {"from", true,
             [&](const toml::node& n) {
               fromNode = &n;
               ReadStations(n, where + "from", wish.fromStations);
             }},
            {"to", true, [&](const toml::node& n) { ReadStations(n, where + "to", wish.toStations); }},
            {"dates", true, [&](const toml::node& n) { ReadDates(n, where, wish.dates); }},
            {"trains", false, [&](const toml::node& n) { ReadTrains(n, where, wish.trains); }},
            {"passengers", true, [&](const toml::node& n) { ReadPassengers(n, where, wish); }},
            {"ticket_type", false, [&](const toml::node& n) { ReadTicketType(n, where, wish); }},
            {"seats", true, [&](const toml::node& n) { ReadSeats(n, where, wish.seats); }},
            {"start_at", false, [&](const toml::node& n) { ReadStartAt(n, where, wish); }},
            {"seat_positions", false, [&](const toml::node& n) { positionsNode = &n; }},
            {"berths", false, [&](const toml::node& n) { berthsNode = &n; }},
            {"depart", false,
             [&](const toml::node& n) { ReadTimeWindowKey(n, where + "depart", wish.times.depart, wish.departText); }},
            {"arrive", false,
             [&](const toml::node& n) { ReadTimeWindowKey(n, where + "arrive", wish.times.arrive, wish.arriveText); }},
            {"order", false, [&](const toml::node& n) { orderNode = &n; }},
            {"waitlist", false, [&](const toml::node& n) { ReadWaitlist(n, where, wish); }},
            {"waitlist_deadline", false,
             [&](const toml::node& n) { ReadWaitlistDeadline(n, where, wish.waitlistDeadline); }},
        },
        where, report_);
    ReadTrainOrder(orderNode, where, wish);
    if (positionsNode != nullptr) ReadSeatPositions(*positionsNode, where, wish);
    if (berthsNode != nullptr) ReadBerths(*berthsNode, where, wish);
    if (wish.ticketType.empty()) {  // no ticket_type: 成人票
      const auto adult = TicketTypeNamed(GbkFromUtf8("成人票"));
      wish.ticketTypeName = adult->first;
      wish.ticketType = adult->second;
    }
    for (auto& ticket : wish.passengerTickets) {
      if (ticket.second.empty()) ticket = {wish.ticketTypeName, wish.ticketType};
    }
    if (!wish.fromStations.empty()) wish.from = wish.fromStations.front();
    if (!wish.toStations.empty()) wish.to = wish.toStations.front();
    // A pair of a station with itself is left out; a wish made only of such
    // pairs has nothing to query.
    const bool everyPairIsOneStation =
        std::all_of(wish.fromStations.begin(), wish.fromStations.end(), [&](const PlanStation& from) {
          return std::all_of(wish.toStations.begin(), wish.toStations.end(),
                             [&](const PlanStation& to) { return from.telecode == to.telecode; });
        });
    if (!wish.fromStations.empty() && !wish.toStations.empty() && everyPairIsOneStation) {
      report_(fromNode, where + Format(_("from and to are the same station, %s"), Utf8FromGbk(wish.from.name)));
    }
    if (reading_.errors.size() == errorsBefore) into.push_back(std::move(wish));
  }

  // One station, or a list of them in order of preference.
  void ReadStations(const toml::node& node, const std::string& what, std::vector<PlanStation>& stations) {
    if (node.as_array() == nullptr) {
      if (const auto station = ReadStation(node, what)) stations.push_back(*station);
      return;
    }
    const auto items = StringsOf(node, what, false, report_);
    if (!items) return;
    for (const auto& [text, element] : *items) {
      const auto station = ReadStation(*element, what);
      if (!station) continue;
      const bool twice = std::any_of(stations.begin(), stations.end(),
                                     [&](const PlanStation& s) { return s.telecode == station->telecode; });
      if (twice) {
        report_(element, what + ": " + Format(_("%s is named twice"), Utf8FromGbk(station->name)));
        continue;
      }
      stations.push_back(*station);
    }
  }

  std::optional<PlanStation> ReadStation(const toml::node& node, const std::string& what) {
    const auto text = StringOf(node, what, report_);
    if (!text) return std::nullopt;
    const StationChoice choice = ChooseStation(stations_, *text);
    if (choice.station == nullptr) {
      report_(&node, what + ": " + choice.problem);
      return std::nullopt;
    }
    return PlanStation{choice.station->name, choice.station->telecode};
  }

  void ReadDates(const toml::node& node, const std::string& where, std::vector<std::string>& dates) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty()) {
      report_(&node,
              where + Format(_("dates must be a list of one or more dates, such as [\"%s\"]"), DateText(today_)));
      return;
    }
    for (const toml::node& element : *array) {
      std::string written;
      if (const auto* text = element.as_string()) {
        written = text->get();
      } else if (const auto* date = element.as_date()) {
        const toml::date& d = date->get();
        const std::chrono::year_month_day ymd{std::chrono::year(d.year), std::chrono::month(d.month),
                                              std::chrono::day(d.day)};
        if (ymd.ok()) written = DateText(std::chrono::sys_days(ymd));
      }
      if (written.empty()) {
        report_(&element, where + _("dates: a date must be a text such as \"2026-12-20\""));
        continue;
      }
      const TravelDate date = ReadTravelDate(written, today_);
      if (!date.problem.empty()) {
        report_(&element, where + "dates: " + date.problem);
        continue;
      }
      if (std::find(dates.begin(), dates.end(), date.date) != dates.end()) {
        report_(&element, where + "dates: " + Format(_("%s is named twice"), date.date));
        continue;
      }
      dates.push_back(date.date);
    }
  }

  void ReadTrains(const toml::node& node, const std::string& where, std::vector<std::string>& trains) {
    const auto items = StringsOf(node, where + "trains", true, report_);
    if (!items) return;
    for (const auto& [text, element] : *items) {
      std::string code = text;
      for (char& c : code) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      if (!IsTrainCode(code)) {
        const std::string meant = TrainCodeMeant(code);
        report_(element, where + "trains: " +
                             (meant.empty() ? Format(_("%s is not a train code such as G101 or K1159"), Quote(text))
                                            : Format(_("%s is not a train code; did you mean %s? (a digit 0 or 1 "
                                                       "where a letter stands)"),
                                                     Quote(text), meant)));
        continue;
      }
      trains.push_back(code);
    }
  }

  // Every problem of the list in one message: the person mends them at once.
  void ReadPassengers(const toml::node& node, const std::string& where, PlanWish& wish) {
    const toml::array* array = node.as_array();
    if (array == nullptr) {
      report_(&node, where + Format(_("%s must be a list of texts, such as [\"a\", \"b\"]"), "passengers"));
      return;
    }
    if (array->empty()) {
      report_(&node, where + Format(_("%s must not be empty"), "passengers"));
      return;
    }
    std::vector<std::string> names;
    std::vector<std::pair<std::string, std::string>> tickets;
    std::vector<std::string> problems;
    for (const toml::node& element : *array) {
      const toml::node* nameNode = &element;
      std::pair<std::string, std::string> ticket;
      if (const toml::table* table = element.as_table()) {
        // {name = "张小明", ticket = "儿童票"}
        nameNode = nullptr;
        bool tableOk = true;
        for (const auto& [key, value] : *table) {
          if (key.str() == "name") {
            nameNode = &value;
          } else if (key.str() == "ticket") {
            const auto* written = value.as_string();
            const auto type = written ? TicketTypeNamed(GbkFromUtf8(written->get())) : std::nullopt;
            if (!type) {
              problems.push_back("ticket: " + (written ? UnknownTicketType(written->get())
                                                       : Format(_("%s must be a text in quotes"), "ticket")));
              tableOk = false;
            } else {
              ticket = *type;
            }
          } else {
            problems.push_back(Format(_("unknown key %s"), Quote(key.str())));
            tableOk = false;
          }
        }
        if (nameNode == nullptr) {
          problems.push_back(
              _("a passenger written as a table needs its name, such as {name = \"张伟\", ticket = "
                "\"成人票\"}"));
          continue;
        }
        if (!tableOk) continue;
      }
      const auto* text = nameNode->as_string();
      if (text == nullptr) {
        problems.push_back(Format(_("%s must hold texts in quotes only"), "passengers"));
        continue;
      }
      if (text->get().empty()) {
        problems.push_back(_("a name is empty"));
        continue;
      }
      if (std::find(names.begin(), names.end(), text->get()) != names.end()) {
        problems.push_back(Format(_("%s is named twice"), Quote(text->get())));
        continue;
      }
      names.push_back(text->get());
      tickets.push_back(ticket);
    }
    if (array->size() > static_cast<std::size_t>(kMaxPassengers)) {
      problems.insert(problems.begin(), Format(_("%s names, but one order holds at most %s"),
                                               std::to_string(array->size()), std::to_string(kMaxPassengers)));
    }
    if (!problems.empty()) {
      std::string message;
      for (const std::string& problem : problems) message += (message.empty() ? "" : "; ") + problem;
      report_(&node, where + "passengers: " + message);
      return;
    }
    for (const std::string& name : names) wish.passengers.push_back(GbkFromUtf8(name));
    wish.passengerTickets = std::move(tickets);
  }

  void ReadTicketType(const toml::node& node, const std::string& where, PlanWish& wish) {
    const auto text = StringOf(node, where + "ticket_type", report_);
    if (!text) return;
    if (const auto type = TicketTypeNamed(GbkFromUtf8(*text))) {
      wish.ticketTypeName = type->first;
      wish.ticketType = type->second;
      return;
    }
    report_(&node, where + "ticket_type: " + UnknownTicketType(*text));
  }

  // (name, the service's code) of a ticket type's name.
  static std::optional<std::pair<std::string, std::string>> TicketTypeNamed(const std::string& name) {
    for (const TicketType& type : TicketTypes()) {
      if (type.name() == name) return std::pair{type.name(), std::string(type.code)};
    }
    return std::nullopt;
  }

  static std::string UnknownTicketType(const std::string& written) {
    std::vector<std::string> known;
    for (const TicketType& type : TicketTypes()) known.push_back(type.name());
    return Format(_("%s is not one of %s"), Quote(written), JoinUtf8(known));
  }

  void ReadSeats(const toml::node& node, const std::string& where, std::vector<PlanSeat>& seats) {
    const auto items = StringsOf(node, where + "seats", false, report_);
    if (!items) return;
    for (const auto& [text, element] : *items) {
      const std::string name = GbkFromUtf8(text);
      const std::string code = SeatCodeForName(name);
      if (!code.empty()) {
        seats.push_back({name, code});
        continue;
      }
      if (name == grab_texts::NoSeat()) {
        report_(element, where + "seats: " +
                             Format(_("%s cannot be ordered on its own; name the classes to book"), Quote(text)));
        continue;
      }
      report_(element, where + "seats: " +
                           Format(_("%s is not a seat class; known: %s"), Quote(text), JoinUtf8(OrderableSeatNames())));
    }
  }

  void ReadWaitlist(const toml::node& node, const std::string& where, PlanWish& wish) {
    if (const auto* flag = node.as_boolean()) {
      wish.waitlist = flag->get();
      return;
    }
    report_(&node, where + "waitlist: " + _("must be true or false"));
  }

  // "YYYY-MM-DD HH:MM", China Standard Time.
  void ReadWaitlistDeadline(const toml::node& node, const std::string& where, std::string& deadline) {
    const auto* text = node.as_string();
    if (text != nullptr && !ShiftMinuteText(text->get(), 0).empty() && text->get().size() == 16) {
      deadline = text->get();
      return;
    }
    report_(&node, where + "waitlist_deadline: " +
                       Format(_("%s is not a moment written as \"YYYY-MM-DD HH:MM\" (China Standard Time)"),
                              text != nullptr ? Quote(text->get()) : std::string(_("the value"))));
  }

  // A text "YYYY-MM-DD HH:MM:SS[.mmm]", the same as a TOML local date-time,
  // or "sale": when the dates go on sale at the departure stations.
  void ReadStartAt(const toml::node& node, const std::string& where, PlanWish& wish) {
    std::optional<std::chrono::system_clock::time_point>& startAt = wish.startAt;
    std::string written;
    if (const auto* text = node.as_string()) {
      written = text->get();
      if (written == "sale") {
        wish.startAtSale = true;
        return;
      }
    } else if (const auto* moment = node.as_date_time(); moment && !moment->get().offset) {
      const toml::date_time& m = moment->get();
      char buf[32];
      std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned{m.date.year},
                    unsigned{m.date.month}, unsigned{m.date.day}, unsigned{m.time.hour}, unsigned{m.time.minute},
                    unsigned{m.time.second}, static_cast<unsigned>(m.time.nanosecond / 1000000));
      written = buf;
    }
    startAt = ParseChinaMoment(written);
    if (!startAt) {
      report_(&node, where + "start_at: " +
                         Format(_("%s is not a moment written as \"YYYY-MM-DD HH:MM:SS\" or \"YYYY-MM-DD "
                                  "HH:MM:SS.mmm\" (China Standard Time) in the years %s to %s, nor \"sale\""),
                                written.empty() ? std::string(_("the value")) : Quote(written),
                                std::to_string(kFirstMomentYear), std::to_string(kLastMomentYear)));
    }
  }

  // The texts of a list, repeats allowed (two passengers may ask for the same
  // position); nothing after reporting anything else.
  std::optional<std::vector<std::pair<std::string, const toml::node*>>> PlaceTexts(const toml::node& node,
                                                                                   const std::string& what,
                                                                                   const char* example) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty()) {
      report_(&node, Format(_("%s must be a list of texts, such as %s"), what, example));
      return std::nullopt;
    }
    std::vector<std::pair<std::string, const toml::node*>> items;
    for (const toml::node& element : *array) {
      const auto* text = element.as_string();
      if (text == nullptr) {
        report_(&element, Format(_("%s must hold texts in quotes only"), what));
        return std::nullopt;
      }
      items.emplace_back(text->get(), &element);
    }
    return items;
  }

  // Asked places must not outnumber the party.
  bool FitsParty(const toml::node& node, const std::string& what, std::size_t asked, const PlanWish& wish) {
    if (wish.passengers.empty() || asked <= wish.passengers.size()) return true;
    report_(&node, Format(_("%s: %s places for %s passengers; give at most one per passenger"), what,
                          std::to_string(asked), std::to_string(wish.passengers.size())));
    return false;
  }

  // seat_positions = ["F", "A"]: the letters the service gives seats, for the
  // classes that have them.
  void ReadSeatPositions(const toml::node& node, const std::string& where, PlanWish& wish) {
    const std::string what = where + "seat_positions";
    const auto items = PlaceTexts(node, what, "[\"F\", \"A\"]");
    if (!items || !FitsParty(node, what, items->size(), wish)) return;
    std::vector<std::string> lettered;  // the wish's classes with positions
    std::string letters;                // every letter one of them has
    for (const PlanSeat& seat : wish.seats) {
      const std::string_view own = PositionsOfSeatClass(seat.code);
      if (own.empty()) continue;
      lettered.push_back(seat.name);
      for (const char c : own) {
        if (letters.find(c) == std::string::npos) letters.push_back(c);
      }
    }
    if (!wish.seats.empty() && lettered.empty()) {
      report_(&node, what + ": " +
                         Format(_("none of the wish's seat classes has seat positions; %s do"),
                                JoinUtf8({grab_texts::BusinessSeat(), grab_texts::FirstClassSeat(),
                                          grab_texts::SecondClassSeat()})));
      return;
    }
    std::vector<SeatPosition> positions;
    for (const auto& [text, element] : *items) {
      const std::optional<SeatPosition> position = SeatPositionNamed(text);
      if (!position) {
        report_(element, what + ": " +
                             Format(_("%s is not a seat position; the service names them A, B, C, D, F"), Quote(text)));
        continue;
      }
      if (!letters.empty() && letters.find(static_cast<char>(*position)) == std::string::npos) {
        report_(element, what + ": " + Format(_("%s is not a seat position of %s"), Quote(text), JoinUtf8(lettered)));
        continue;
      }
      positions.push_back(*position);
    }
    wish.seatPositions = std::move(positions);
  }

  // berths = ["下铺", "中铺"], for the sleeper classes.
  void ReadBerths(const toml::node& node, const std::string& where, PlanWish& wish) {
    const std::string what = where + "berths";
    const auto items = PlaceTexts(node, what, "[\"下铺\", \"中铺\"]");
    if (!items || !FitsParty(node, what, items->size(), wish)) return;
    std::vector<std::string> sleepers;
    std::vector<Berth> offered;
    for (const PlanSeat& seat : wish.seats) {
      const std::span<const Berth> own = BerthsOfSeatClass(seat.code);
      if (own.empty()) continue;
      sleepers.push_back(seat.name);
      for (const Berth berth : own) {
        if (std::find(offered.begin(), offered.end(), berth) == offered.end()) offered.push_back(berth);
      }
    }
    if (!wish.seats.empty() && sleepers.empty()) {
      report_(&node, what + ": " + _("none of the wish's seat classes is a sleeper class"));
      return;
    }
    std::vector<Berth> berths;
    for (const auto& [text, element] : *items) {
      const std::optional<Berth> berth = BerthNamed(GbkFromUtf8(text));
      if (!berth) {
        report_(element,
                what + ": " +
                    Format(_("%s is not a berth; known: %s"), Quote(text),
                           JoinUtf8({BerthName(Berth::kLower), BerthName(Berth::kMiddle), BerthName(Berth::kUpper)})));
        continue;
      }
      if (!offered.empty() && std::find(offered.begin(), offered.end(), *berth) == offered.end()) {
        report_(element, what + ": " + Format(_("%s has no %s"), JoinUtf8(sleepers), text));
        continue;
      }
      berths.push_back(*berth);
    }
    wish.berths = std::move(berths);
  }

  // "07:00-21:00", "-22:30" or "07:00-"; a window past midnight wraps.
  void ReadTimeWindowKey(const toml::node& node, const std::string& what, TimeWindow& window, std::string& written) {
    const auto text = StringOf(node, what, report_);
    if (!text) return;
    const TimeWindowReading reading = ReadTimeWindow(*text);
    switch (reading.problem) {
      case TimeWindowProblem::kNone:
        window = reading.window;
        written = *text;
        return;
      case TimeWindowProblem::kBadFrom:
      case TimeWindowProblem::kBadTo:
        report_(&node, what + ": " + Format(_("%s holds a time that is not HH:MM from 00:00 to 23:59"), Quote(*text)));
        return;
      case TimeWindowProblem::kNoSeparator:
      case TimeWindowProblem::kNoBound:
        break;
    }
    report_(&node,
            what + ": " +
                Format(_("%s is not a time window such as \"07:00-21:00\", \"07:00-\" or \"-22:30\""), Quote(*text)));
  }

  // Trains that are not named: earliest departure first once a window limits
  // them, the service's own order otherwise, unless the plan says.
  void ReadTrainOrder(const toml::node* node, const std::string& where, PlanWish& wish) {
    if (node == nullptr) {
      wish.times.order = wish.times.Limits() ? TrainOrder::kDeparture : TrainOrder::kAnswer;
      return;
    }
    const auto text = StringOf(*node, where + "order", report_);
    if (!text) return;
    static const std::pair<const char*, TrainOrder> kOrders[] = {
        {"departure", TrainOrder::kDeparture}, {"arrival", TrainOrder::kArrival}, {"duration", TrainOrder::kDuration}};
    const auto* found =
        std::find_if(std::begin(kOrders), std::end(kOrders), [&](const auto& entry) { return *text == entry.first; });
    if (found == std::end(kOrders)) {
      report_(node,
              where + "order: " +
                  Format(_("%s is not an order; write \"departure\", \"arrival\" or \"duration\""), Quote(*text)));
      return;
    }
    if (!wish.trains.empty()) {
      report_(node, where + "order: " + _("orders trains that are not named; with trains named, their order holds"));
      return;
    }
    wish.times.order = found->second;
  }

  const std::string& path_;
  const StationDirectory& stations_;
  const std::chrono::sys_days today_;
  PlanReading& reading_;
  Report report_;
  std::vector<bool> ownSignIn_;  // per [[account]] table: whether it names its own sign_in
};

}  // namespace

std::string DescribePlanError(const PlanError& error) {
  return error.file + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " + error.message;
}

PlanReading ReadPlanText(std::string_view text, const std::string& path, const StationDirectory& stations,
                         std::chrono::sys_days today) {
  PlanReading reading;
  // Some editors begin a UTF-8 file with a byte order mark.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const AsciiPlanText ascii = ToAsciiPlanText(text);
  if (!ascii.problem.empty()) {
    reading.errors.push_back({path, ascii.line, ascii.problem});
    return reading;
  }
  toml::parse_result parsed = toml::parse(ascii.text, path);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    reading.errors.push_back({path, static_cast<int>(error.source().begin.line),
                              Format(_("not valid TOML: %s"), std::string(error.description()))});
    return reading;
  }
  PlanChecker(path, stations, today, reading).Read(parsed.table());
  std::stable_sort(reading.errors.begin(), reading.errors.end(),
                   [](const PlanError& a, const PlanError& b) { return a.line < b.line; });
  return reading;
}

Plan PlanOfAccount(const Plan& plan, std::size_t accountIndex) {
  Plan one = plan;
  const PlanAccount& account = plan.accounts.at(accountIndex);
  one.account = account.name;
  one.signIn = account.signIn;
  one.wishes = account.wishes;
  return one;
}

PlanReading ReadPlanFile(const std::string& path, const StationDirectory& stations, std::chrono::sys_days today) {
  // A plan is a short text: a device or a huge file named by mistake is
  // refused instead of read without end.
  constexpr std::size_t kMaxPlanBytes = 1 << 20;
  PlanReading reading;
  std::error_code error;
  if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
    reading.errors.push_back({path, 0, _("cannot read the plan file: not a regular file")});
    return reading;
  }
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    const std::string reason = std::error_code(errno, std::generic_category()).message();
    reading.errors.push_back({path, 0, Format(_("cannot read the plan file: %s"), reason)});
    return reading;
  }
  std::string text(kMaxPlanBytes + 1, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file.get()));
  if (std::ferror(file.get())) {
    const std::string reason = std::error_code(errno, std::generic_category()).message();
    reading.errors.push_back({path, 0, Format(_("cannot read the plan file: %s"), reason)});
    return reading;
  }
  if (text.size() > kMaxPlanBytes) {
    reading.errors.push_back({path, 0, _("the plan file is larger than 1 MiB")});
    return reading;
  }
  return ReadPlanText(text, path, stations, today);
}

}  // namespace quillet::cli
