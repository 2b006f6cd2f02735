#pragma once
// How the client reads the answers of the service's waitlist requests: pure
// functions over the decoded answer text (program text), searched for
// markers like every other answer. Each gives a verdict, and the service's
// reason as it wrote it when it says no.
#include <string>
#include <string_view>
#include <vector>

#include "booking/records.h"
#include "stations/station_directory.h"

namespace quillet {

enum class WaitlistVerdict {
  kAccepted,       // the service did what was asked
  kRefused,        // it said no; the reading's `reason` holds its words (maybe empty)
  kNoValidAnswer,  // not an answer the request knows (empty, cut, foreign)
};

struct WaitlistReading {
  WaitlistVerdict verdict = WaitlistVerdict::kNoValidAnswer;
  std::string reason;
};

// The party check: accepted when the service lets the account use the
// waitlist; `faceCheck` when it refuses because a face check is owed.
struct WaitlistCheckReading : WaitlistReading {
  bool faceCheck = false;
};
WaitlistCheckReading ReadWaitlistCheck(std::string_view answer);

// The chance of success of one (train, class) choice: the service's level
// (higher is better, 0 when it gave none that reads as a number) and its words.
struct WaitlistChance {
  std::string train;     // station train code
  std::string seatType;  // the service's seat type code
  int level = 0;
  std::string info;
};
struct WaitlistChancesReading : WaitlistReading {
  std::vector<WaitlistChance> chances;  // in the answer's order
};
WaitlistChancesReading ReadWaitlistChances(std::string_view answer);

// Submitting the choices and confirming the party: "flag":true.
WaitlistReading ReadWaitlistSubmit(std::string_view answer);
WaitlistReading ReadWaitlistConfirm(std::string_view answer);

// The queue after the confirmation: accepted with the waitlist order's number
// once it is placed, accepted with an empty number while the service is
// still placing it.
struct WaitlistQueueReading : WaitlistReading {
  std::string reserveNo;
};
WaitlistQueueReading ReadWaitlistQueue(std::string_view answer);

enum class WaitlistOrderStatus { kWaiting, kFilled, kCancelled, kExpired };
struct WaitlistStateReading : WaitlistReading {
  WaitlistOrderStatus status = WaitlistOrderStatus::kWaiting;
  std::string orderId;  // the order it became once filled
  std::string train;    // once filled: the station train code and seat type it was filled on (may be empty)
  std::string seatType;
  std::string deadline;  // "yyyy-MM-dd HH:mm" as the service tells it; may be empty
};
// A state answer with a status code the reader does not know is no valid answer.
WaitlistStateReading ReadWaitlistState(std::string_view answer);

WaitlistReading ReadWaitlistCancel(std::string_view answer);

// A train of the left-ticket answer with the service's waitlist mark (piece
// 37, "1" while a sold-out class takes waitlist orders). Train texts of 36
// or 37 pieces, without the mark, read as closed.
struct WaitlistTrain {
  TrainRecord record;
  bool waitlistOpen = false;
};
// The left-ticket answer (program text) read with the marks: accepted with
// the trains, refused with the service's message, or no valid answer.
WaitlistReading ReadWaitlistTrains(std::string_view answer, const StationDirectory& stations,
                                   std::vector<WaitlistTrain>& trains);
// The mark of one train text.
bool WaitlistMarkOpen(std::string_view trainText);

}  // namespace quillet
