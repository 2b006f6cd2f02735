#include "cli/plan_reader.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <system_error>

#include "booking/client.h"
#include "cli/station_match.h"
#include "cli/toml_guard.h"
#include "grab/grab_controller.h"
#include "grab/order_wish.h"
#include "grab/texts.h"
#include "util/china_moment.h"
#include "util/codepage.h"
#include "util/text.h"

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
      report(&node, where + "unknown key " + Quote(key.str()));
      continue;
    }
    rule->read(node);
  }
  for (const KeyRule& rule : rules) {
    if (rule.required && !table.contains(rule.key)) report(&table, where + "missing key " + Quote(rule.key));
  }
}

std::optional<std::string> StringOf(const toml::node& node, const std::string& what, const Report& report) {
  if (const auto* text = node.as_string()) return text->get();
  report(&node, what + " must be a text in quotes");
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
    report(&node, what + " must be a list of texts, such as [\"a\", \"b\"]");
    return std::nullopt;
  }
  if (array->empty() && !mayBeEmpty) {
    report(&node, what + " must not be empty");
    return std::nullopt;
  }
  std::vector<std::pair<std::string, const toml::node*>> items;
  for (const toml::node& element : *array) {
    const auto* text = element.as_string();
    if (text == nullptr) {
      report(&element, what + " must hold texts in quotes only");
      continue;
    }
    const bool twice =
        std::any_of(items.begin(), items.end(), [&](const auto& item) { return item.first == text->get(); });
    if (twice) {
      report(&element, what + " names " + Quote(text->get()) + " twice");
      continue;
    }
    items.emplace_back(text->get(), &element);
  }
  return items;
}

std::string DateText(std::chrono::sys_days day) {
  const std::chrono::year_month_day ymd(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return buf;
}

std::optional<std::chrono::sys_days> ParseDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year(std::stoi(text.substr(0, 4))),
                                        std::chrono::month(static_cast<unsigned>(std::stoi(text.substr(5, 2)))),
                                        std::chrono::day(static_cast<unsigned>(std::stoi(text.substr(8, 2))))};
  if (!ymd.ok()) return std::nullopt;
  return std::chrono::sys_days(ymd);
}

bool IsTrainCode(const std::string& code) {
  return !code.empty() && code.size() <= 8 &&
         std::all_of(code.begin(), code.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }) &&
         code.back() >= '0' && code.back() <= '9';
}

const std::vector<const std::string& (*)()>& OrderableSeatNames() {
  static const std::vector<const std::string& (*)()> names = {
      grab_texts::BusinessSeat,   grab_texts::DeluxeEmuSleeper, grab_texts::EmuSleeper,  grab_texts::DeluxeSoftSleeper,
      grab_texts::FirstClassSeat, grab_texts::SecondClassSeat,  grab_texts::SoftSleeper, grab_texts::HardSleeper,
      grab_texts::SoftSeat,       grab_texts::HardSeat};
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
                  {"account", true, [&](const toml::node& n) { ReadAccount(n); }},
                  {"wish", true, [&](const toml::node& n) { ReadWishes(n); }},
                  {"notify", false, [&](const toml::node& n) { ReadNotify(n); }},
              },
              "", report_);
  }

 private:
  void ReadService(const toml::node& node) {
    const auto text = StringOf(node, "service", report_);
    if (!text) return;
    if (text->rfind("https://", 0) != 0 && text->rfind("http://", 0) != 0) {
      report_(&node, "service must be an address beginning with https:// or http://");
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
      report_(&node, "ca_file " + Quote(file.string()) + " is not a file");
      return;
    }
    reading_.plan.caFile = file.string();
  }

  void ReadAccount(const toml::node& node) {
    const auto text = StringOf(node, "account", report_);
    if (!text) return;
    if (text->empty()) {
      report_(&node, "account must not be empty");
      return;
    }
    reading_.plan.account = GbkFromUtf8(*text);
  }

  void ReadNotify(const toml::node& node) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
      report_(&node, "notify must be written as a [notify] table");
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

  void ReadNotifyUrl(const toml::node& node, std::string& url) {
    const auto text = StringOf(node, "notify: url", report_);
    if (!text) return;
    if (text->rfind("https://", 0) != 0 && text->rfind("http://", 0) != 0) {
      report_(&node, "notify: url must be an address beginning with https:// or http://");
      return;
    }
    url = *text;
  }

  // Program and arguments, run without a shell: every item is one argument,
  // the same text may stand twice.
  void ReadNotifyCommand(const toml::node& node, std::vector<std::string>& command) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty()) {
      report_(&node, "notify: command must be a list of texts, the program first, such as [\"my-push\", \"--phone\"]");
      return;
    }
    std::vector<std::string> items;
    for (const toml::node& element : *array) {
      const auto* text = element.as_string();
      if (text == nullptr) {
        report_(&element, "notify: command must hold texts in quotes only");
        return;
      }
      items.push_back(text->get());
    }
    if (items.front().empty()) {
      report_(&node, "notify: command names no program");
      return;
    }
    command = std::move(items);
  }

  void ReadWishes(const toml::node& node) {
    const toml::array* wishes = node.as_array();
    if (wishes == nullptr || !wishes->is_array_of_tables()) {
      report_(&node, "wish must be written as [[wish]] tables");
      return;
    }
    int number = 0;
    for (const toml::node& element : *wishes) ReadWish(*element.as_table(), ++number);
  }

  void ReadWish(const toml::table& table, int number) {
    const std::string where = "wish " + std::to_string(number) + ": ";
    PlanWish wish;
    wish.line = LineOf(&table);
    const std::size_t errorsBefore = reading_.errors.size();
    const toml::node* fromNode = nullptr;
    ReadTable(table,
              {
                  {"from", true,
                   [&](const toml::node& n) {
                     fromNode = &n;
                     ReadStation(n, where + "from", wish.from);
                   }},
                  {"to", true, [&](const toml::node& n) { ReadStation(n, where + "to", wish.to); }},
                  {"dates", true, [&](const toml::node& n) { ReadDates(n, where, wish.dates); }},
                  {"trains", false, [&](const toml::node& n) { ReadTrains(n, where, wish.trains); }},
                  {"passengers", true, [&](const toml::node& n) { ReadPassengers(n, where, wish.passengers); }},
                  {"ticket_type", true, [&](const toml::node& n) { ReadTicketType(n, where, wish); }},
                  {"seats", true, [&](const toml::node& n) { ReadSeats(n, where, wish.seats); }},
                  {"start_at", false, [&](const toml::node& n) { ReadStartAt(n, where, wish.startAt); }},
              },
              where, report_);
    if (!wish.from.telecode.empty() && wish.from.telecode == wish.to.telecode) {
      report_(fromNode, where + "from and to are the same station, " + Utf8FromGbk(wish.from.name));
    }
    if (reading_.errors.size() == errorsBefore) reading_.plan.wishes.push_back(std::move(wish));
  }

  void ReadStation(const toml::node& node, const std::string& what, PlanStation& station) {
    const auto text = StringOf(node, what, report_);
    if (!text) return;
    const std::vector<const StationRecord*> matches = MatchStations(stations_, GbkFromUtf8(*text));
    if (matches.empty()) {
      report_(&node, what + ": no station is called " + Quote(*text));
      return;
    }
    if (matches.size() > 1) {
      std::vector<std::string> names;
      for (const StationRecord* match : matches) names.push_back(match->name + " (" + match->telecode + ")");
      report_(&node, what + ": " + Quote(*text) + " names several stations: " + JoinUtf8(names));
      return;
    }
    station = {matches[0]->name, matches[0]->telecode};
  }

  void ReadDates(const toml::node& node, const std::string& where, std::vector<std::string>& dates) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty()) {
      report_(&node, where + "dates must be a list of one or more dates, such as [\"" + DateText(today_) + "\"]");
      return;
    }
    const std::string last = DateText(today_ + std::chrono::days(kPresaleDays - 1));
    for (const toml::node& element : *array) {
      std::optional<std::chrono::sys_days> day;
      std::string written;
      if (const auto* text = element.as_string()) {
        written = text->get();
        day = ParseDate(written);
      } else if (const auto* date = element.as_date()) {
        const toml::date& d = date->get();
        day = ParseDate(written = DateText(std::chrono::sys_days(std::chrono::year_month_day{
                            std::chrono::year(d.year), std::chrono::month(d.month), std::chrono::day(d.day)})));
      }
      if (!day) {
        report_(&element, where + "dates: " + (written.empty() ? "a date" : Quote(written)) +
                              " is not a date written as yyyy-MM-dd");
        continue;
      }
      const std::string date = DateText(*day);
      if (*day < today_ || *day >= today_ + std::chrono::days(kPresaleDays)) {
        report_(&element, where + "dates: " + date + " is outside the days on sale, " + DateText(today_) + " to " +
                              last + " (China Standard Time)");
        continue;
      }
      if (std::find(dates.begin(), dates.end(), date) != dates.end()) {
        report_(&element, where + "dates: " + date + " is named twice");
        continue;
      }
      dates.push_back(date);
    }
  }

  void ReadTrains(const toml::node& node, const std::string& where, std::vector<std::string>& trains) {
    const auto items = StringsOf(node, where + "trains", true, report_);
    if (!items) return;
    for (const auto& [text, element] : *items) {
      std::string code = text;
      for (char& c : code) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      if (!IsTrainCode(code)) {
        report_(element, where + "trains: " + Quote(text) + " is not a train code such as G101");
        continue;
      }
      trains.push_back(code);
    }
  }

  void ReadPassengers(const toml::node& node, const std::string& where, std::vector<std::string>& passengers) {
    const auto items = StringsOf(node, where + "passengers", false, report_);
    if (!items) return;
    if (items->size() > static_cast<std::size_t>(kMaxPassengers)) {
      report_(&node, where + "passengers: " + std::to_string(items->size()) + " names, but one order holds at most " +
                         std::to_string(kMaxPassengers));
      return;
    }
    for (const auto& [name, element] : *items) {
      if (name.empty()) {
        report_(element, where + "passengers: a name is empty");
        continue;
      }
      passengers.push_back(GbkFromUtf8(name));
    }
  }

  void ReadTicketType(const toml::node& node, const std::string& where, PlanWish& wish) {
    const auto text = StringOf(node, where + "ticket_type", report_);
    if (!text) return;
    const std::string name = GbkFromUtf8(*text);
    std::vector<std::string> known;
    for (const std::string& item : TicketTypeItems()) {
      const std::string itemName = TextBefore(item, "(");
      if (itemName == name) {
        wish.ticketTypeName = itemName;
        wish.ticketType = TextBetween(item, "(", ")");
        return;
      }
      known.push_back(itemName);
    }
    report_(&node, where + "ticket_type: " + Quote(*text) + " is not one of " + JoinUtf8(known));
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
        report_(element, where + "seats: " + Quote(text) + " cannot be ordered on its own; name the classes to book");
        continue;
      }
      std::vector<std::string> known;
      for (const auto seatName : OrderableSeatNames()) known.push_back(seatName());
      report_(element, where + "seats: " + Quote(text) + " is not a seat class; known: " + JoinUtf8(known));
    }
  }

  // A text "YYYY-MM-DD HH:MM:SS[.mmm]", or the same as a TOML local date-time.
  void ReadStartAt(const toml::node& node, const std::string& where,
                   std::optional<std::chrono::system_clock::time_point>& startAt) {
    std::string written;
    if (const auto* text = node.as_string()) {
      written = text->get();
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
      report_(&node, where + "start_at: " + (written.empty() ? "the value" : Quote(written)) +
                         " is not a moment written as \"YYYY-MM-DD HH:MM:SS\" or \"YYYY-MM-DD HH:MM:SS.mmm\" "
                         "(China Standard Time) in the years " +
                         std::to_string(kFirstMomentYear) + " to " + std::to_string(kLastMomentYear));
    }
  }

  const std::string& path_;
  const StationDirectory& stations_;
  const std::chrono::sys_days today_;
  PlanReading& reading_;
  Report report_;
};

}  // namespace

std::string DescribePlanError(const PlanError& error) {
  return error.file + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " + error.message;
}

std::chrono::sys_days TodayInChina() {
  return std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now() + std::chrono::hours(8));
}

PlanReading ReadPlanText(std::string_view text, const std::string& path, const StationDirectory& stations,
                         std::chrono::sys_days today) {
  PlanReading reading;
  const AsciiPlanText ascii = ToAsciiPlanText(text);
  if (!ascii.problem.empty()) {
    reading.errors.push_back({path, ascii.line, ascii.problem});
    return reading;
  }
  toml::parse_result parsed = toml::parse(ascii.text, path);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    reading.errors.push_back(
        {path, static_cast<int>(error.source().begin.line), "not valid TOML: " + std::string(error.description())});
    return reading;
  }
  PlanChecker(path, stations, today, reading).Read(parsed.table());
  std::stable_sort(reading.errors.begin(), reading.errors.end(),
                   [](const PlanError& a, const PlanError& b) { return a.line < b.line; });
  return reading;
}

PlanReading ReadPlanFile(const std::string& path, const StationDirectory& stations, std::chrono::sys_days today) {
  // A plan is a short text: a device or a huge file named by mistake is
  // refused instead of read without end.
  constexpr std::size_t kMaxPlanBytes = 1 << 20;
  PlanReading reading;
  std::error_code error;
  if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
    reading.errors.push_back({path, 0, "cannot read the plan file: not a regular file"});
    return reading;
  }
  std::ifstream file(path, std::ios::binary);
  std::string text(kMaxPlanBytes + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (!file.is_open() || file.bad()) {
    reading.errors.push_back({path, 0, "cannot read the plan file"});
    return reading;
  }
  if (text.size() > kMaxPlanBytes) {
    reading.errors.push_back({path, 0, "the plan file is larger than 1 MiB"});
    return reading;
  }
  return ReadPlanText(text, path, stations, today);
}

}  // namespace quillet::cli
