#pragma once
// The sale moments of travel dates: before its moment a date's trains show
// every class as not yet on sale ("*") and cannot be ordered. Dates without
// a moment are on sale as usual. Set at start and at run time, read by the
// request threads, so it keeps its own lock.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace quillet::sim {

struct SaleOpening {
  std::string date;            // travel date, yyyy-MM-dd
  std::int64_t openingMs = 0;  // Unix ms on the service's clock
};

class SaleSchedule {
 public:
  // Sets (or moves) the opening of a travel date.
  void Set(const SaleOpening& opening);
  // The opening of a travel date, if it has one.
  std::optional<std::int64_t> OpeningOf(const std::string& date) const;
  // False only for a date whose opening lies after the given time.
  bool OnSale(const std::string& date, std::int64_t atMs) const;
  // [{"date":..,"moment":"yyyy-MM-dd HH:mm:ss.mmm","moment_ms":..},...], by date.
  std::string Json() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::int64_t> openings_;
};

// Reads "DATE@MOMENT" (yyyy-MM-dd@yyyy-MM-dd HH:mm:ss[.mmm], China Standard Time).
std::optional<SaleOpening> ParseSaleOpening(const std::string& text);

}  // namespace quillet::sim
