#pragma once
// Shared set-up of the tests that talk to a running quillet-sim: one signed
// in conversation and a train with a class to order, with its tickets set
// through the control side.
#include <gtest/gtest.h>

#include <memory>

#include "sim_conversation.h"
#include "support/sim_harness.h"

namespace quillet::test {

// 北京南 to 上海虹桥, five days ahead.
inline const char kFrom[] = "VNP";
inline const char kTo[] = "AOH";
inline const char kFromName[] = "北京南";
inline const char kToName[] = "上海虹桥";

// Values for ordering the first bookable train that has second-class seats,
// with `tickets` tickets of that class released.
inline OrderValues PrepareOrder(SimProcess& sim, SimConversation& client, int tickets, int daysAhead = 5) {
  OrderValues v;
  v.date = ChinaDatePlusDays(daysAhead);
  v.fromTelecode = kFrom;
  v.toTelecode = kTo;
  v.fromName = kFromName;
  v.toName = kToName;
  const auto trains = client.Query(v.date, kFrom, kTo);
  const auto* train = FirstTrainWith(trains, "O");
  if (train == nullptr) {
    ADD_FAILURE() << "no bookable train with second-class seats";
    return v;
  }
  v.train = *train;
  sim.Release(v.date, v.train[3], "O", tickets);
  return v;
}

}  // namespace quillet::test
