#pragma once
#include <string>

#include "cli/plan.h"

namespace quillet::cli {

// What `--check` prints: the plan as understood, stations with their codes (UTF-8).
std::string DescribePlan(const Plan& plan);

}  // namespace quillet::cli
