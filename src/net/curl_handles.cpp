#include "net/curl_handles.h"

#include <new>
#include <utility>

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
  curl_slist_free_all(headerList_);
}

void CurlHandles::SetCurrentSettings(Settings settings) {
  settings_ = std::move(settings);
  configured_ = true;
}

bool CurlHandles::HeaderList(const std::vector<std::string>& lines, curl_slist*& list) {
  if (lines == headerLines_) {
    list = headerList_;
    return true;
  }
  curl_slist_free_all(headerList_);
  headerList_ = nullptr;
  headerLines_.clear();
  curl_slist* built = nullptr;
  for (const std::string& line : lines) {
    curl_slist* extended = curl_slist_append(built, line.c_str());
    if (extended == nullptr) {
      curl_slist_free_all(built);
      return false;
    }
    built = extended;
  }
  try {
    headerLines_ = lines;
  } catch (const std::bad_alloc&) {
    curl_slist_free_all(built);
    return false;
  }
  headerList_ = built;
  list = built;
  return true;
}

CurlHandles& ThreadCurlHandles() {
  thread_local CurlHandles handles;
  return handles;
}

}  // namespace quillet::net
