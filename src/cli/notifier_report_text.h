#pragma once
// A notifier's report in quillet-grab's own words (its language, not the
// window's texts): "webhook: could not tell of the booking: HTTP status 500
// after 3 tries".
#include <string>

#include "notify/notifier_set.h"

namespace quillet::cli {

// UTF-8, one line without its end.
std::string NotifierReportText(const NotifierReport& report);
// Why a delivery failed, in the same words (UTF-8).
std::string NotifierFailureText(const DeliveryFailure& failure);

}  // namespace quillet::cli
