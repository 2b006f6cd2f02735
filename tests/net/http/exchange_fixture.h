#pragma once
// Shared pieces of the exchange tests.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>

#include "net/http.h"

namespace quillet::test {

// One call of SendHttpRequest with every parameter spelled out. The time
// limit is short so that a broken exchange fails the test instead of
// stalling it.
struct Call {
  explicit Call(std::string address, std::string verb = {}, std::string text = {})
      : url(std::move(address)), method(std::move(verb)), bodyText(std::move(text)) {}

  std::string url;
  std::string method;
  std::string bodyText;
  std::string headerBlock = "X-Test: 1";
  bool disableRedirects = false;
  std::string bodyBytes;
  std::string proxy;
  ExchangeOptions options = [] {
    ExchangeOptions shortLimit;
    shortLimit.timeout = std::chrono::seconds(5);
    return shortLimit;
  }();

  // Sends the call; `method` and `headerBlock` then read as the request
  // went (an empty one is its default).
  HttpExchangeResult Exchange(CookieJar& jar) {
    HttpRequest request{url, method, bodyText, bodyBytes, headerBlock, !disableRedirects, proxy, options};
    HttpExchangeResult result = SendHttpRequest(request, jar);
    method = request.Method();
    headerBlock = request.HeaderBlock();
    return result;
  }
  std::string Send(CookieJar& jar) { return Exchange(jar).body; }
};

// Requests a stop after the given time unless destroyed first.
class StopAfter {
 public:
  explicit StopAfter(std::chrono::milliseconds delay)
      : timer_([this, delay](std::stop_token cancelled) {
          std::mutex mutex;
          std::condition_variable_any wake;
          std::unique_lock lock(mutex);
          wake.wait_for(lock, cancelled, delay, [] { return false; });
          if (!cancelled.stop_requested()) source_.request_stop();
        }) {}
  std::stop_token Token() const { return source_.get_token(); }

 private:
  std::stop_source source_;
  std::jthread timer_;
};

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace quillet::test
