#pragma once
// A plan's wishes as order wishes for the grab workers, with the passengers'
// details taken from the account.
#include <string>
#include <vector>

#include "booking/records.h"
#include "cli/plan.h"
#include "grab/order_wish.h"

namespace quillet::cli {

struct PlanWishes {
  std::vector<OrderWish> wishes;          // one per plan wish, in the plan's order
  std::vector<std::string> unknownNames;  // plan names the account lacks, each once, in plan order
  // Passengers whose ticket type their record does not allow: one sentence
  // each (UTF-8), naming the wish, the passenger and why.
  std::vector<std::string> ticketProblems;
  bool Ok() const { return unknownNames.empty() && ticketProblems.empty(); }
};

PlanWishes WishesForPlan(const Plan& plan, const std::vector<PassengerRecord>& accountPassengers);

}  // namespace quillet::cli
