#pragma once
// start_at = "sale": when each (date, departure station) of a wish goes on
// sale, from the service's table of the stations' daily openings, and the
// moment the wish's first query waits for.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "booking/station_sale_times.h"
#include "cli/plan.h"

namespace quillet::cli {

// date (yyyy-MM-dd), station, and the opening on the service's clock (none
// when the table has no opening for the station).
using SaleOpeningRow = PlanWish::SaleOpening;

// The openings of a wish's dates at its departure stations, dates first.
std::vector<SaleOpeningRow> SaleOpeningRows(const PlanWish& wish, const StationSaleTimes& times);

// When the wish's first query waits for: none as soon as one of its rows is
// on sale at `now` (or has no known opening), otherwise the earliest opening.
std::optional<std::chrono::system_clock::time_point> FirstSaleOpening(const std::vector<SaleOpeningRow>& rows,
                                                                      std::chrono::system_clock::time_point now);

// True when a wish of the plan starts at its sale opening.
bool PlanWaitsForSaleTable(const Plan& plan);

// Reads the service's table once and sets, for every wish with
// start_at = "sale", its rows and its start moment. Empty on success,
// otherwise why the table could not be read (UTF-8).
std::string ApplySaleOpenings(Plan& plan, std::chrono::system_clock::time_point now);

// "2026-12-25 at 北京南 (VNP): 2026-12-11 08:00:00.000", UTF-8.
std::string SaleOpeningRowText(const SaleOpeningRow& row);

}  // namespace quillet::cli
