#pragma once
// One HTTP request and its answer, carried out on a pair of curl handles.
#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

#include "net/curl_handles.h"
#include "net/exchange_outcome.h"

namespace quillet::net {

struct TransferRequest {
  std::string url;     // UTF-8, absolute
  std::string method;  // "GET", "POST", ...
  std::string body;    // sent when sendBody is true
  bool sendBody = false;
  std::vector<std::string> headerLines;  // in curl's form: "Name: value" or "Name;" for an empty value
  std::string proxy;                     // empty: no proxy at all
  std::string extraCaFile;               // trusted besides the system store
  std::string sourceAddress;             // the local address to bind; empty: the system's choice
};

struct TransferLimits {
  std::stop_token stop;
  std::chrono::milliseconds stallTimeout{30000};
  std::chrono::milliseconds totalTimeout{0};  // the whole exchange; zero: no limit besides stallTimeout
  // The moment by which the transfer must have ended, whatever moves: a
  // server that drips its answer a byte at a time is given up then.
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  std::size_t maxBodyBytes = 0;
};

struct TransferResult {
  ExchangeOutcome outcome = ExchangeOutcome::kOther;
  long status = 0;
  std::string body;
  // Raw header lines of the answer (and of any interim answer), without their
  // line breaks, in the order received; complete lines are kept even when the
  // transfer fails afterwards.
  std::vector<std::string> headerLines;
  std::string redirectUrl;  // absolute target of a Location header, if any
};

// Runs the request to its end; never throws. Waits in curl_multi_poll, so a
// stop request wakes it up at once.
TransferResult RunTransfer(CurlHandles& handles, const TransferRequest& request, const TransferLimits& limits);

}  // namespace quillet::net
