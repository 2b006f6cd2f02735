#pragma once
// libcurl handles for the exchanges of one thread.
#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

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

  // What the easy handle's lasting options were set for; the transfer sets
  // them again (after a reset) only when a request needs other ones.
  struct Settings {
    std::string proxy;
    std::string extraCaFile;
    std::string sourceAddress;
    std::chrono::milliseconds stallTimeout{0};
    std::chrono::milliseconds totalTimeout{0};
    std::size_t maxBodyBytes = 0;
  };
  // Null until lasting options were set.
  const Settings* CurrentSettings() const { return configured_ ? &settings_ : nullptr; }
  void SetCurrentSettings(Settings settings);
  void ForgetSettings() { configured_ = false; }

  // Sets `list` to the request header list in libcurl's form (null for no
  // lines), built from `lines` unless the list kept from the last call was
  // built from the same lines; false when it cannot be made. The handles own
  // the list.
  bool HeaderList(const std::vector<std::string>& lines, curl_slist*& list);

 private:
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  bool configured_ = false;
  Settings settings_;
  curl_slist* headerList_ = nullptr;
  std::vector<std::string> headerLines_;  // that headerList_ was built from
};

// The calling thread's long-lived handles, created on first use and cleaned
// up when the thread ends.
CurlHandles& ThreadCurlHandles();

}  // namespace quillet::net
