#include "sale_schedule.h"

#include "china_time.h"
#include "text_codec.h"

namespace quillet::sim {

void SaleSchedule::Set(const SaleOpening& opening) {
  std::lock_guard<std::mutex> lock(mutex_);
  openings_[opening.date] = opening.openingMs;
}

std::optional<std::int64_t> SaleSchedule::OpeningOf(const std::string& date) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = openings_.find(date);
  if (it == openings_.end()) return std::nullopt;
  return it->second;
}

bool SaleSchedule::OnSale(const std::string& date, std::int64_t atMs) const {
  const auto opening = OpeningOf(date);
  return !opening || atMs >= *opening;
}

std::string SaleSchedule::Json() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string json = "[";
  for (const auto& [date, ms] : openings_) {
    json += (json.size() > 1 ? "," : "") + std::string("{\"date\":") + JsonStringFromUtf8(date) +
            ",\"moment\":" + JsonStringFromUtf8(ChinaDateTimeMsText(ms)) + ",\"moment_ms\":" + std::to_string(ms) + "}";
  }
  return json + "]";
}

std::optional<SaleOpening> ParseSaleOpening(const std::string& text) {
  const std::size_t at = text.find('@');
  if (at == std::string::npos) return std::nullopt;
  SaleOpening opening;
  opening.date = text.substr(0, at);
  if (!ParseDate(opening.date)) return std::nullopt;
  const auto moment = ParseChinaDateTime(std::string_view(text).substr(at + 1));
  if (!moment) return std::nullopt;
  opening.openingMs = *moment;
  return opening;
}

}  // namespace quillet::sim
