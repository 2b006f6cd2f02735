#include "cli/plan_sale_openings.h"

#include "booking/client.h"
#include "net/cookies.h"
#include "util/china_moment.h"
#include "util/codepage.h"
#include "util/messages.h"

namespace quillet::cli {

std::vector<SaleOpeningRow> SaleOpeningRows(const PlanWish& wish, const StationSaleTimes& times) {
  const std::vector<PlanStation> stations =
      wish.fromStations.empty() ? std::vector<PlanStation>{wish.from} : wish.fromStations;
  std::vector<SaleOpeningRow> rows;
  for (const std::string& date : wish.dates) {
    for (const PlanStation& station : stations) {
      SaleOpeningRow row{date, station, std::nullopt};
      const auto minute = times.openingMinute.find(station.telecode);
      if (minute != times.openingMinute.end()) row.opening = SaleOpeningOf(date, minute->second, times.presaleDays);
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

std::optional<std::chrono::system_clock::time_point> FirstSaleOpening(const std::vector<SaleOpeningRow>& rows,
                                                                      std::chrono::system_clock::time_point now) {
  std::optional<std::chrono::system_clock::time_point> first;
  for (const SaleOpeningRow& row : rows) {
    if (!row.opening || *row.opening <= now) return std::nullopt;
    if (!first || *row.opening < *first) first = row.opening;
  }
  return first;
}

bool PlanWaitsForSaleTable(const Plan& plan) {
  for (const PlanWish& wish : plan.wishes) {
    if (wish.startAtSale) return true;
  }
  return false;
}

std::string ApplySaleOpenings(Plan& plan, std::chrono::system_clock::time_point now) {
  if (!PlanWaitsForSaleTable(plan)) return {};
  CookieJar jar;
  BookingClient client(plan.service, jar, plan.caFile);
  const StationSaleTimesResult table = client.QueryStationSaleTimes();
  if (!table.Done()) {
    return Format(_("cannot read the service's table of sale openings (%s): %s"),
                  std::string(service_paths::kStationSaleTimes),
                  table.kind == ServiceResultKind::kTransportFailure ? std::string(_("no answer"))
                                                                     : std::string(_("not a table of stations")));
  }
  for (PlanWish& wish : plan.wishes) {
    if (!wish.startAtSale) continue;
    wish.saleOpenings = SaleOpeningRows(wish, table.times);
    wish.startAt = FirstSaleOpening(wish.saleOpenings, now);
  }
  return {};
}

std::string SaleOpeningRowText(const SaleOpeningRow& row) {
  const std::string where = Format(_("%s at %s (%s)"), row.date, Utf8FromGbk(row.station.name), row.station.telecode);
  if (!row.opening) return Format(_("%s: not in the service's table, starts at once"), where);
  return Format(_("%s: on sale from %s (China Standard Time)"), where, ChinaMomentText(*row.opening));
}

}  // namespace quillet::cli
