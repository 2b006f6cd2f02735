#include "net/curl_transfer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

namespace quillet::net {
namespace {

using Clock = std::chrono::steady_clock;

// Where this libcurl build looks for the system's trusted certificates.
struct SystemCaLocations {
  std::string file;
  std::string directory;
};

const SystemCaLocations& BuiltInCaLocations() {
  static const SystemCaLocations locations = [] {
    SystemCaLocations found;
#if LIBCURL_VERSION_NUM >= 0x075400
    if (CURL* probe = curl_easy_init()) {
      char* value = nullptr;
      if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &value) == CURLE_OK && value != nullptr) found.file = value;
      value = nullptr;
      if (curl_easy_getinfo(probe, CURLINFO_CAPATH, &value) == CURLE_OK && value != nullptr) found.directory = value;
      curl_easy_cleanup(probe);
    }
#endif
    return found;
  }();
  return locations;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Trusts the caller's extra CA bundle on top of the system store, never
// instead of it. OpenSSL takes one CA file and one hashed CA directory: the
// extra bundle becomes the file and the system directory stays. A build
// without a system directory gets one in-memory bundle of both files.
void TrustExtraCa(CURL* easy, const std::string& extraCaFile, std::string& blobStorage) {
  if (extraCaFile.empty()) return;
  const SystemCaLocations& system = BuiltInCaLocations();
  if (!system.directory.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, extraCaFile.c_str());
    curl_easy_setopt(easy, CURLOPT_CAPATH, system.directory.c_str());
    return;
  }
  blobStorage = ReadWholeFile(system.file);
  blobStorage += '\n';
  blobStorage += ReadWholeFile(extraCaFile);
  curl_blob blob{blobStorage.data(), blobStorage.size(), CURL_BLOB_COPY};
  curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
}

struct TransferState {
  TransferResult* result = nullptr;
  std::size_t maxBodyBytes = 0;
  std::size_t headerBytes = 0;
  bool tooLarge = false;
  Clock::time_point lastProgress;
  curl_off_t lastDownloaded = 0;
  curl_off_t lastUploaded = 0;
};

// Returning anything but the byte count makes libcurl fail the transfer.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& state = *static_cast<TransferState*>(user);
  const size_t bytes = size * count;
  std::string& body = state.result->body;
  if (bytes > state.maxBodyBytes - body.size()) {
    state.tooLarge = true;
    return 0;
  }
  try {
    body.append(data, bytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  state.lastProgress = Clock::now();
  return bytes;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  auto& state = *static_cast<TransferState*>(user);
  const size_t bytes = size * count;
  state.headerBytes += bytes;
  if (state.headerBytes > state.maxBodyBytes) {
    state.tooLarge = true;
    return 0;
  }
  std::string_view line(data, bytes);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  try {
    state.result->headerLines.emplace_back(line);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  state.lastProgress = Clock::now();
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto& state = *static_cast<TransferState*>(user);
  if (downloaded != state.lastDownloaded || uploaded != state.lastUploaded) {
    state.lastDownloaded = downloaded;
    state.lastUploaded = uploaded;
    state.lastProgress = Clock::now();
  }
  return 0;
}

// Called once the connection is up (new or reused): the connect phase has its
// own limit, and the idle clock restarts for sending and receiving.
int OnConnected(void* user, char*, char*, int, int) {
  static_cast<TransferState*>(user)->lastProgress = Clock::now();
  return CURL_PREREQFUNC_OK;
}

// The request's method and body. What an earlier request on the handle set
// is undone first: no custom method, no body.
void SetMethodAndBody(CURL* easy, const TransferRequest& request) {
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(-1));
  curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
  if (!request.sendBody && request.method == "GET") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    return;
  }
  if (!request.sendBody && request.method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    return;
  }
  // Any other method, or any method with a body: the body goes as it is,
  // with its exact length (it may hold zero bytes).
  curl_easy_setopt(easy, CURLOPT_POST, 1L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.c_str());
  if (request.method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
}

// The options that stay the same from request to request on one handle.
void SetLastingOptions(CURL* easy, const CurlHandles::Settings& settings) {
  curl_easy_reset(easy);
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
#else
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // HTTP/1.1 keeps header names as the server spells them; the Set-Cookie
  // search is case-sensitive, and HTTP/2 would deliver "set-cookie".
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  // An empty proxy text switches proxies off, including the environment's.
  curl_easy_setopt(easy, CURLOPT_PROXY, settings.proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (!settings.sourceAddress.empty()) curl_easy_setopt(easy, CURLOPT_INTERFACE, settings.sourceAddress.c_str());
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.stallTimeout.count()));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.totalTimeout.count()));
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxBodyBytes));
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
#if LIBCURL_VERSION_NUM >= 0x075700
  // Cancelling during name resolution must not wait for the resolver thread.
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
#endif
  std::string caBlob;
  TrustExtraCa(easy, settings.extraCaFile, caBlob);

  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeaderLine);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnConnected);
}

// The options of this one request; the callbacks' data is this transfer's.
void SetRequestOptions(CURL* easy, const TransferRequest& request, curl_slist* headers, TransferState& state) {
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  SetMethodAndBody(easy, request);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &state);
}

ExchangeOutcome FailureOutcome(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:  // the source address cannot be bound
      return ExchangeOutcome::kCouldNotConnect;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return ExchangeOutcome::kTlsFailure;
    default:
      return ExchangeOutcome::kOther;
  }
}

}  // namespace

TransferResult RunTransfer(CurlHandles& handles, const TransferRequest& request, const TransferLimits& limits) {
  TransferResult result;
  if (!handles.Valid()) return result;
  if (limits.stop.stop_requested()) {
    result.outcome = ExchangeOutcome::kStopped;
    return result;
  }
  CURL* easy = handles.Easy();
  CURLM* multi = handles.Multi();

  TransferState state;
  state.result = &result;
  state.maxBodyBytes = limits.maxBodyBytes;
  state.lastProgress = Clock::now();

  curl_slist* headers = nullptr;
  if (!handles.HeaderList(request.headerLines, headers)) return result;
  const CurlHandles::Settings* current = handles.CurrentSettings();
  if (current == nullptr || current->proxy != request.proxy || current->extraCaFile != request.extraCaFile ||
      current->sourceAddress != request.sourceAddress || current->stallTimeout != limits.stallTimeout ||
      current->totalTimeout != limits.totalTimeout || current->maxBodyBytes != limits.maxBodyBytes) {
    CurlHandles::Settings settings{request.proxy,       request.extraCaFile, request.sourceAddress,
                                   limits.stallTimeout, limits.totalTimeout, limits.maxBodyBytes};
    handles.ForgetSettings();
    SetLastingOptions(easy, settings);
    handles.SetCurrentSettings(std::move(settings));
  }
  SetRequestOptions(easy, request, headers, state);

  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return result;

  bool finished = false;
  bool cancelled = false;
  bool stalled = false;
  bool pastDeadline = false;
  CURLcode code = CURLE_OK;
  {
    std::stop_callback wakeOnStop(limits.stop, [multi] { curl_multi_wakeup(multi); });
    for (;;) {
      int running = 0;
      if (curl_multi_perform(multi, &running) != CURLM_OK) break;
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
          finished = true;
          code = message->data.result;
        }
      }
      if (finished || running == 0) break;
      if (limits.stop.stop_requested()) {
        cancelled = true;
        break;
      }
      const auto now = Clock::now();
      if (now >= limits.deadline) {
        pastDeadline = true;
        break;
      }
      const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - state.lastProgress);
      if (idle >= limits.stallTimeout) {
        stalled = true;
        break;
      }
      // Wake up in time to notice a stalled exchange or the deadline; a stop
      // request or socket activity wakes the poll earlier.
      auto wait = std::clamp<std::chrono::milliseconds::rep>((limits.stallTimeout - idle).count(), 1, 1000);
      if (limits.deadline - now < std::chrono::milliseconds(wait)) {
        wait = std::max<std::chrono::milliseconds::rep>(
            1, std::chrono::ceil<std::chrono::milliseconds>(limits.deadline - now).count());
      }
      if (curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr) != CURLM_OK) break;
    }
  }
  // Detaching an unfinished transfer aborts it and closes its connection.
  curl_multi_remove_handle(multi, easy);

  if (finished && code == CURLE_OK) {
    result.outcome = ExchangeOutcome::kOk;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
    char* location = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr) {
      result.redirectUrl = location;
    }
  } else {
    if (cancelled) {
      result.outcome = ExchangeOutcome::kStopped;
    } else if (state.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
      result.outcome = ExchangeOutcome::kTooLarge;
    } else if (pastDeadline) {
      result.outcome = ExchangeOutcome::kDeadlinePassed;
    } else if (stalled || code == CURLE_OPERATION_TIMEDOUT) {
      result.outcome = ExchangeOutcome::kTimedOut;
    } else {
      result.outcome = FailureOutcome(code);
    }
    result.body.clear();
  }
  return result;
}

}  // namespace quillet::net
