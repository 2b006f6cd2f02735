#pragma once
// What the client's waitlist operations take and give back.
#include <string>
#include <vector>

#include "booking/service_result.h"
#include "booking/waitlist_answers.h"

namespace quillet {

// One (train, class) choice: the train's secretStr as the left-ticket query
// gave it, and the service's seat type code.
struct WaitlistPick {
  std::string secretStr;
  std::string seatType;
};

// One of the party (program text).
struct WaitlistMember {
  std::string name;
  std::string idType;
  std::string idNo;
  std::string ticketType;
};

struct WaitlistCheckResult : ServiceResult {
  bool faceCheck = false;  // refused: the account owes the service a face check
};
struct WaitlistChancesResult : ServiceResult {
  std::vector<WaitlistChance> chances;
};
struct WaitlistQueueResult : ServiceResult {
  std::string reserveNo;  // empty (with kDone) while the service is still placing it
};
struct WaitlistTrainsResult : ServiceResult {
  std::vector<WaitlistTrain> trains;
};
struct WaitlistStateResult : ServiceResult {
  WaitlistOrderStatus status = WaitlistOrderStatus::kWaiting;
  std::string orderId;
  std::string train;
  std::string seatType;
  std::string deadline;
};

// The request pieces: "secret#seat|" for each choice with "#" and "|"
// percent-encoded (the secretStr already is), and "name#idType#idNo#type;"
// for each of the party, percent-encoded as a whole.
std::string WaitlistSecretList(const std::vector<WaitlistPick>& picks);
std::string WaitlistPartyText(const std::vector<WaitlistMember>& party);

}  // namespace quillet
