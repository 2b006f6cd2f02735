#include "net/curl_handles.h"

namespace quillet::net {

bool EnsureCurlInitialised() {
  // A function-local static runs the initialisation exactly once, and other
  // threads wait for it to finish.
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return initialised;
}

CurlHandles::CurlHandles() {
  if (!EnsureCurlInitialised()) return;
  easy_ = curl_easy_init();
  multi_ = curl_multi_init();
}

CurlHandles::~CurlHandles() {
  // The easy handle is never left attached to the multi handle between
  // transfers, so both can be cleaned up directly.
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
}

CurlHandles& ThreadCurlHandles() {
  thread_local CurlHandles handles;
  return handles;
}

}  // namespace quillet::net
