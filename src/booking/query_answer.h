#pragma once
// What a left-ticket answer says besides its trains: that the query has
// moved to another path, or that the service is throttling this client.
// Pure readers over the answer as the service sent it (UTF-8).
#include <string>
#include <string_view>

namespace quillet {

enum class QueryPathVerdict {
  kNotMoved,  // no redirect answer
  kMoved,     // `path` holds the new query path
  kBadPath,   // a redirect answer naming a path the client does not follow
};
enum class QueryPathProblem { kNone, kEmpty, kTooLong, kBadCharacters, kNotUnderService };

struct QueryPathMove {
  QueryPathVerdict verdict = QueryPathVerdict::kNotMoved;
  std::string path;  // absolute on the service ("/otn/leftTicket/queryZ") when moved
  QueryPathProblem problem = QueryPathProblem::kNone;
};

inline constexpr std::size_t kMaxQueryPathBytes = 64;

// The redirect answer {"status":false,"c_url":"leftTicket/queryZ",...}: the
// named path lies under the service's /otn/ and may hold letters, digits,
// "/" and "_" only, at most kMaxQueryPathBytes of them.
QueryPathMove ReadQueryPathMove(std::string_view utf8Answer);

enum class QueryAnswerSign {
  kNormal,     // an answer the query knows, or a plain failure
  kEmpty,      // an empty answer
  kThrottled,  // sent to an error page, or told the network is busy / too many requests
};
// `answerPath` is the path (on whatever host) the answer came from after
// redirects, `askedPath` the query's own path.
QueryAnswerSign ReadQueryAnswerSign(long status, std::string_view askedPath, std::string_view answerPath,
                                    std::string_view utf8Body);

}  // namespace quillet
