#include "net/http.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "net/curl_handles.h"
#include "net/curl_transfer.h"
#include "net/encoding.h"
#include "net/http_headers.h"
#include "net/redirect_policy.h"

namespace quillet {
namespace {

constexpr int kMaxRedirects = 10;

bool HasHeaderNamed(const std::vector<net::RequestHeader>& headers, std::string_view name) {
  for (const net::RequestHeader& header : headers) {
    if (net::EqualsIgnoreAsciiCase(header.name, name)) return true;
  }
  return false;
}

// Request header lines in curl's form: the Cookie header first (when
// non-empty), then the block's lines in order. A block's own Cookie line
// goes to the service only.
std::vector<std::string> HeaderLinesForHop(const std::string& cookieText, bool toService,
                                           const std::vector<net::RequestHeader>& blockHeaders) {
  std::vector<std::string> lines;
  if (!cookieText.empty() && cookieText.find_first_of("\r\n") == std::string::npos) {
    lines.push_back("Cookie: " + TextToUtf8(cookieText));
  }
  for (const net::RequestHeader& header : blockHeaders) {
    if (!toService && net::EqualsIgnoreAsciiCase(header.name, "Cookie")) continue;
    lines.push_back(net::CurlHeaderLine({TextToUtf8(header.name), TextToUtf8(header.value)}));
  }
  // The answer to a body is awaited at once, never after a 100-continue.
  if (!HasHeaderNamed(blockHeaders, "Expect")) lines.emplace_back("Expect:");
  return lines;
}

}  // namespace

HttpExchangeResult SendHttpRequest(const HttpRequest& call, CookieJar& cookieJar) {
  if (!net::EnsureCurlInitialised()) return {};
  const ExchangeOptions& options = call.options;

  // The jar is read once, under its own lock; nothing is locked while the
  // exchange runs, and the answer's pairs are merged into the jar as it is
  // by then.
  const std::string jarSnapshot = cookieJar.Text();
  const std::vector<net::RequestHeader> blockHeaders = net::ParseHeaderBlock(call.HeaderBlock());

  net::TransferRequest request;
  request.url = TextToUtf8(call.url);
  request.method = call.Method();
  request.body = call.bodyBytes.empty() ? TextToUtf8(call.bodyText) : call.bodyBytes;
  request.sendBody = !request.body.empty();
  request.proxy = call.proxy;
  request.extraCaFile = options.extraCaFile;
  request.sourceAddress = options.sourceAddress;

  net::TransferLimits limits;
  limits.stop = options.stop;
  limits.stallTimeout = options.timeout;
  limits.maxBodyBytes = options.maxBodyBytes;
  limits.deadline = std::chrono::steady_clock::now() + options.deadline;

  std::optional<net::CurlHandles> freshHandles;
  net::CurlHandles* handles = options.reuseConnections ? &net::ThreadCurlHandles() : nullptr;
  if (handles == nullptr || !handles->Valid()) handles = &freshHandles.emplace();

  const std::string firstUrl = request.url;
  const net::CookieHost service = net::CookieHostOf(firstUrl);
  // The Set-Cookie pairs of every answer of the chain, by the host that set
  // them: the service's own go into the jar's text, others are kept apart.
  std::string servicePairs;
  std::map<std::string, std::string> otherPairs;  // by host key
  HttpExchangeResult result;
  for (int hop = 0;; ++hop) {
    const net::CookieHost target = net::CookieHostOf(request.url);
    const bool toService = hop == 0 || (!target.key.empty() && target.key == service.key &&
                                        net::CookiesMayFollowRedirect(firstUrl, request.url));
    // A hop gets the cookies of its own host, with what the answers so far have set.
    std::string cookieText = toService ? jarSnapshot : cookieJar.OtherHostText(target.key);
    std::string pairsSoFar = toService ? servicePairs : otherPairs[target.key];
    if (hop > 0 && !target.key.empty()) MergeCookies(cookieText, pairsSoFar);
    request.headerLines = HeaderLinesForHop(cookieText, toService, blockHeaders);

    net::TransferResult answer = net::RunTransfer(*handles, request, limits);
    result.url = request.url;
    std::vector<std::string> lines;
    lines.reserve(answer.headerLines.size());
    for (const std::string& line : answer.headerLines) lines.push_back(Utf8BytesToText(line));
    std::string pairs = net::CollectSetCookiePairsFrom(lines, target.host);
    if (!pairs.empty()) {
      std::string& into = toService ? servicePairs : otherPairs[target.key];
      if (!into.empty()) into += "; ";
      into += pairs;
    }
    result.outcome = answer.outcome;
    if (answer.outcome != ExchangeOutcome::kOk) break;

    if (call.followRedirects && net::IsFollowedRedirect(answer.status) && !answer.redirectUrl.empty()) {
      if (hop >= kMaxRedirects) {  // a redirect loop is a failed exchange
        result.outcome = ExchangeOutcome::kOther;
        break;
      }
      if (net::RedirectBecomesGet(answer.status, request.method)) {
        request.method = "GET";
        request.body.clear();
        request.sendBody = false;
      }
      request.url = std::move(answer.redirectUrl);
      continue;
    }
    result.status = answer.status;
    result.body = std::move(answer.body);
    break;
  }

  // Cookies that answers of the chain did set are kept even when a later
  // step failed: the service has already acted on them.
  cookieJar.Merge(std::move(servicePairs));
  for (auto& [hostKey, pairs] : otherPairs) {
    if (!hostKey.empty()) cookieJar.MergeForOtherHost(hostKey, std::move(pairs));
  }
  return result;
}

}  // namespace quillet
