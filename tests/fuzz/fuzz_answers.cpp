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

  ReadCaptchaCheck(answer);
  fuzz::Require(ReadLogin(answer).reason.size() <= answer.size());
  ReadCheckUser(answer);
  ReadPageToken(answer);
  ServiceMessage(answer);
  // A refusal's words are the answer's own.
  for (const AnswerVerdict& verdict :
       {ReadSubmitOrderRequest(answer), ReadCheckOrderInfo(answer), ReadGetQueueCount(answer),
        ReadConfirmSingleForQueue(answer), ReadResultOrderForDcQueue(answer)}) {
    fuzz::Require(verdict.reason.size() <= answer.size());
  }
  ReadOrderWaitTime(answer);

  OrderPageValues values;
  const AnswerVerdict result = ReadInitDc(answer, values);
  fuzz::Require(result.Accepted() == !values.leftTicketStr.empty());
  for (const char c : values.trainDateMs) fuzz::Require(c >= '0' && c <= '9');
  BrowserDateText(values.trainDateMs);
  BrowserDateText(answer);
  return 0;
}
