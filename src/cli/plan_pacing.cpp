#include "cli/plan_pacing.h"

#include "util/messages.h"

namespace quillet::cli {

void ReadServiceHours(const toml::node& node, Plan& plan, const PlanPacingReport& report) {
  const std::optional<std::string> text = node.value_exact<std::string>();
  const std::optional<ServiceHours> hours = text ? ParseServiceHours(*text) : std::nullopt;
  if (!hours) {
    report(&node, _("service_hours must be daily hours in China Standard Time such as \"06:00-23:30\" (a close "
                    "earlier than the open runs past midnight)"));
    return;
  }
  plan.serviceHours = *hours;
}

void ReadQueryBudget(const toml::node& node, Plan& plan, const PlanPacingReport& report) {
  const std::optional<double> value = node.is_integer()
                                          ? std::optional<double>(static_cast<double>(*node.value<std::int64_t>()))
                                          : node.value_exact<double>();
  if (!value || !(*value >= 0.1 && *value <= 100)) {
    report(&node, _("max_queries_per_second must be a number from 0.1 to 100"));
    return;
  }
  plan.maxQueriesPerSecond = *value;
}

}  // namespace quillet::cli
