#pragma once
// libcurl handles for the exchanges of one thread.
#include <curl/curl.h>

namespace quillet::net {

// Initialises libcurl for the process; safe to call from any thread, any
// number of times (the first call does the work).
bool EnsureCurlInitialised();

// One easy handle driven by its own multi handle. The multi handle owns the
// connection cache, so a pair that lives on keeps connections alive between
// exchanges; the multi interface lets a waiting exchange be woken up from
// another thread (curl_multi_wakeup) to cancel it.
class CurlHandles {
 public:
  CurlHandles();
  ~CurlHandles();
  CurlHandles(const CurlHandles&) = delete;
  CurlHandles& operator=(const CurlHandles&) = delete;

  bool Valid() const { return easy_ != nullptr && multi_ != nullptr; }
  CURL* Easy() const { return easy_; }
  CURLM* Multi() const { return multi_; }

 private:
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
};

// The calling thread's long-lived handles, created on first use and cleaned
// up when the thread ends.
CurlHandles& ThreadCurlHandles();

}  // namespace quillet::net
