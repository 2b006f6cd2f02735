// The readers of the waitlist answers: never more than the answer holds, and
// values only with the verdict that carries them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "booking/waitlist_answers.h"
#include "fuzz_input.h"
#include "net/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  // The readers see what the client sees: the service's bytes decoded.
  const std::string answer = Utf8BytesToText(std::string_view(reinterpret_cast<const char*>(data), size));

  const WaitlistCheckReading check = ReadWaitlistCheck(answer);
  fuzz::Require(!check.faceCheck || check.verdict == WaitlistVerdict::kRefused);
  fuzz::Require(check.reason.size() <= answer.size());
  const WaitlistChancesReading chances = ReadWaitlistChances(answer);
  fuzz::Require(chances.chances.empty() || chances.verdict == WaitlistVerdict::kAccepted);
  for (const WaitlistChance& chance : chances.chances) {
    fuzz::Require(!chance.train.empty() && chance.level >= 0 && chance.level <= 999);
  }
  ReadWaitlistSubmit(answer);
  ReadWaitlistConfirm(answer);
  ReadWaitlistCancel(answer);
  const WaitlistQueueReading queue = ReadWaitlistQueue(answer);
  fuzz::Require(queue.reserveNo.empty() || queue.verdict == WaitlistVerdict::kAccepted);
  const WaitlistStateReading state = ReadWaitlistState(answer);
  fuzz::Require(state.orderId.empty() || state.status == WaitlistOrderStatus::kFilled);
  fuzz::Require(state.orderId.size() <= answer.size());
  return 0;
}
