#pragma once

namespace quillet {

// What became of one exchange.
enum class ExchangeOutcome {
  kOk,               // an answer arrived (its status is not judged)
  kCouldNotConnect,  // no such host, or the connection was refused
  kTimedOut,         // nothing moved for longer than the time limit
  kDeadlinePassed,   // the answer had not ended by the exchange's deadline (it may have been acted on)
  kTlsFailure,       // handshake or certificate failure
  kTooLarge,         // the answer exceeded maxBodyBytes
  kStopped,          // the stop token was triggered
  kOther,            // any other failure, a redirect loop included
};

}  // namespace quillet
