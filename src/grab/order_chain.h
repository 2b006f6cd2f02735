#pragma once
#include <chrono>
#include <stop_token>
#include <string>

#include "grab/grab_task.h"

namespace quillet {

class BookingClient;

struct OrderChainSettings {
  std::string backTrainDate;                    // the program's reference date, yyyy-MM-dd
  std::chrono::milliseconds pollWait{2000};     // wait after each empty order-id answer
};

// Places one order for the task's train, passenger and seat type. Returns
// "成功" or the driver's message. Stopping is honoured before the chain starts
// and up to ConfirmSingleForQueue; once that step has passed, the chain runs to
// its end so that a bought ticket is always reported.
std::string RunOrderChain(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                          std::stop_token stop = {});

}  // namespace quillet
