#pragma once
// The plan's keys for how grabbing paces itself against the service:
// service_hours = "06:00-23:30" and max_queries_per_second = 5.
#include <functional>
#include <string>

#include <toml++/toml.h>

#include "cli/plan.h"

namespace quillet::cli {

using PlanPacingReport = std::function<void(const toml::node* where, const std::string& message)>;

void ReadServiceHours(const toml::node& node, Plan& plan, const PlanPacingReport& report);
void ReadQueryBudget(const toml::node& node, Plan& plan, const PlanPacingReport& report);

}  // namespace quillet::cli
