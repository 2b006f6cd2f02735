#include "cli/plan_summary.h"

#include "cli/plan_sale_openings.h"
#include "util/china_moment.h"
#include "util/codepage.h"
#include "util/messages.h"

namespace quillet::cli {
namespace {

std::string Join(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += (out.empty() ? "" : ", ") + Utf8FromGbk(text);
  return out;
}

std::string Stations(const std::vector<PlanStation>& stations) {
  std::string out;
  for (const PlanStation& station : stations) {
    out += (out.empty() ? "" : ", ") + Utf8FromGbk(station.name) + " (" + station.telecode + ")";
  }
  return out;
}

std::string Row(const char* label, const std::string& value) {
  std::string row = "  ";
  row += label;
  row.append(row.size() < 15 ? 15 - row.size() : 1, ' ');
  return row + value + "\n";
}

// The wish's rows; `indent` goes before its heading.
std::string DescribeWish(const PlanWish& wish, std::size_t i, const std::string& indent) {
  std::string out = indent + Format(_("Wish %s (line %s)"), std::to_string(i + 1), std::to_string(wish.line)) + "\n";
  out += Row("from", Stations(wish.fromStations.empty() ? std::vector<PlanStation>{wish.from} : wish.fromStations));
  out += Row("to", Stations(wish.toStations.empty() ? std::vector<PlanStation>{wish.to} : wish.toStations));
  if (wish.fromStations.size() > 1 || wish.toStations.size() > 1) {
    std::string pairs;
    for (const PlanStation& from : wish.fromStations) {
      for (const PlanStation& to : wish.toStations) {
        if (from.telecode == to.telecode) continue;
        pairs += (pairs.empty() ? "" : ", ") + from.telecode + "-" + to.telecode;
      }
    }
    out += Row("pairs", pairs);
  }
  out += Row("dates", Join(wish.dates));
  out += Row("trains", wish.trains.empty() ? std::string(_("any")) : Join(wish.trains));
  out += Row("passengers", Join(wish.passengers));
  out += Row("ticket_type", Utf8FromGbk(wish.ticketTypeName) + " (" + wish.ticketType + ")");
  std::vector<std::string> seats;
  for (const PlanSeat& seat : wish.seats) seats.push_back(seat.name + " (" + seat.code + ")");
  out += Row("seats", Join(seats));
  if (!wish.departText.empty()) out += Row("depart", wish.departText);
  if (!wish.arriveText.empty()) out += Row("arrive", wish.arriveText);
  if (wish.trains.empty() && wish.times.order != TrainOrder::kAnswer) {
    static const char* const kOrderNames[] = {"", "departure", "arrival", "duration"};
    out += Row("order", kOrderNames[static_cast<int>(wish.times.order)]);
  }
  if (!wish.seatPositions.empty()) {
    std::vector<std::string> letters;
    for (const SeatPosition position : wish.seatPositions) letters.emplace_back(1, static_cast<char>(position));
    out += Row("seat_positions", Join(letters));
  }
  if (!wish.berths.empty()) {
    std::vector<std::string> berths;
    for (const Berth berth : wish.berths) berths.push_back(BerthName(berth));
    out += Row("berths", Join(berths));
  }
  if (wish.startAtSale) {
    out += Row("start_at",
               wish.startAt ? Format(_("sale, first opening %s (China Standard Time)"), ChinaMomentText(*wish.startAt))
                            : std::string(_("sale, already open: at once")));
    for (const PlanWish::SaleOpening& row : wish.saleOpenings) out += Row("sale", SaleOpeningRowText(row));
  } else {
    out += Row("start_at", wish.startAt ? Format(_("%s (China Standard Time)"), ChinaMomentText(*wish.startAt))
                                        : std::string(_("at once")));
  }
  if (wish.waitlist) {
    out += Row("waitlist", wish.waitlistDeadline.empty()
                               ? std::string(_("until the latest deadline the service takes"))
                               : Format(_("until %s (China Standard Time)"), wish.waitlistDeadline));
  }
  return out;
}

}  // namespace

std::string DescribePlan(const Plan& plan) {
  std::string out = Format(_("Plan %s"), plan.path) + "\n";
  out += Row("service", plan.service);
  if (!plan.caFile.empty()) out += Row("ca_file", plan.caFile);
  if (!plan.accountTables) {
    out += Row("account", Utf8FromGbk(plan.account));
    if (plan.signIn == SignInMethod::kQr) out += Row("sign_in", "qr");
    for (std::size_t i = 0; i < plan.wishes.size(); ++i) out += DescribeWish(plan.wishes[i], i, "");
  }
  for (std::size_t a = 0; plan.accountTables && a < plan.accounts.size(); ++a) {
    const PlanAccount& account = plan.accounts[a];
    out += Format(_("Account %s (line %s)"), std::to_string(a + 1), std::to_string(account.line)) + "\n";
    out += Row("name", Utf8FromGbk(account.name));
    out += Row("sign_in", account.signIn == SignInMethod::kQr ? "qr" : "captcha");
    for (std::size_t i = 0; i < account.wishes.size(); ++i) out += DescribeWish(account.wishes[i], i, "  ");
  }
  if (!plan.notify.url.empty() || !plan.notify.command.empty()) out += std::string(_("Notify")) + "\n";
  if (!plan.notify.url.empty()) out += Row("url", plan.notify.url);
  if (!plan.notify.command.empty()) {
    std::string command;
    for (const std::string& part : plan.notify.command) command += (command.empty() ? "" : " ") + part;
    out += Row("command", command);
  }
  if (!plan.web.listen.empty()) {
    out += std::string(_("Page")) + "\n";
    out += Row("listen", plan.web.listen);
    if (!plan.web.cert.empty()) out += Row("cert", plan.web.cert);
    if (!plan.web.key.empty()) out += Row("key", plan.web.key);
  }
  return out;
}

}  // namespace quillet::cli
