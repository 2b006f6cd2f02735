// Every marker-judged answer reader of the login and order steps, and the
// browser date text of the order page's train date.
#include <cstddef>
#include <cstdint>
#include <string>

#include "booking/answers.h"
#include "booking/date_text.h"
#include "booking/texts.h"
#include "fuzz_input.h"
#include "net/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  const  // The readers see what the client sees: the service's bytes decoded.
      std::string answer = quillet::Utf8BytesToText(std::string_view(reinterpret_cast<const char*>(data), size));

  CaptchaAccepted(answer);
  std::string reason;
  LoginAccepted(answer, reason);
  fuzz::Require(reason.size() <= answer.size());
  ReadCheckUser(answer);
  ReadPageToken(answer);
  ServiceMessage(answer);
  ReadSubmitOrderRequest(answer);
  ReadCheckOrderInfo(answer);
  ReadGetQueueCount(answer);
  ReadConfirmSingleForQueue(answer);
  ReadOrderWaitTime(answer);
  ReadResultOrderForDcQueue(answer);

  OrderPageValues values;
  const std::string result = ReadInitDc(answer, values);
  fuzz::Require((result == booking_texts::Success()) == !values.leftTicketStr.empty());
  for (const char c : values.trainDateMs) fuzz::Require(c >= '0' && c <= '9');
  BrowserDateText(values.trainDateMs);
  BrowserDateText(answer);
  return 0;
}
