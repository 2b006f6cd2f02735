// SendHttpRequest against real servers on loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "exchange_fixture.h"
#include "net/http.h"
#include "raw_http_server.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

RawHttpServer::Handler Reply(int status, std::vector<std::string> headers, std::string body) {
  return [=](const RawRequest&, RawConnection& connection) { connection.Send(Answer(status, headers, body)); };
}

// Header lines as the server received them, without the Host line.
std::vector<std::string> LinesAfterHost(const RawRequest& request) {
  std::vector<std::string> lines = request.HeaderLines();
  if (!lines.empty() && lines.front().rfind("Host:", 0) == 0) lines.erase(lines.begin());
  return lines;
}

std::string Chunked(const std::string& body) {
  std::string out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (std::size_t at = 0; at < body.size(); at += 65536) {
    const std::string piece = body.substr(at, 65536);
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    out += size + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

TEST(HttpExchange, EmptyMethodAndHeaderBlockBecomeTheDefaultsAndAreWrittenBack) {
  RawHttpServer server(Reply(200, {}, "hello"));
  CookieJar jar;
  Call call{server.Url("/page")};
  call.headerBlock.clear();

  EXPECT_EQ(call.Send(jar), "hello");
  EXPECT_EQ(call.method, "GET");
  EXPECT_EQ(call.headerBlock, kDefaultHeaderBlock);

  const RawRequest request = server.Requests().at(0);
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_FALSE(request.HasHeader("Cookie"));  // an empty jar sends no Cookie header
  EXPECT_FALSE(request.HasHeader("Accept-Encoding"));
  EXPECT_TRUE(request.body.empty());
}

TEST(HttpExchange, SendsCookieFirstThenTheBlockLinesAsTrimmed) {
  RawHttpServer server(Reply(200, {}, "ok"));
  CookieJar jar("a=1; b=2");
  Call call{server.Url(), "POST", "k=v"};
  const std::string block =
      "X-One:  first \r\n"
      "Referer: https://example.test:8443/otn/login/init\r\n"
      "Accept:\r\n"
      "NoColonHere\r\n"
      "\r\n"
      "\xA1\xA1X-Two\xA1\xA1:v2\r\n"
      "Cookie: extra=1";
  call.headerBlock = block;

  EXPECT_EQ(call.Send(jar), "ok");
  EXPECT_EQ(call.headerBlock, block);  // a non-empty block is left alone
  EXPECT_EQ(call.method, "POST");

  const RawRequest request = server.Requests().at(0);
  const std::vector<std::string> expected = {
      "Cookie: a=1; b=2",
      "X-One: first",
      "Referer: https://example.test:8443/otn/login/init",
      "Accept:",
      "X-Two: v2",
      "Cookie: extra=1",
      // Added by the transport for the form body.
      "Content-Length: 3",
      "Content-Type: application/x-www-form-urlencoded",
  };
  EXPECT_EQ(LinesAfterHost(request), expected) << request.head;
  EXPECT_EQ(request.body, "k=v");
}

TEST(HttpExchange, BodyAndHeaderTextLeaveAsUtf8AndBytesAsTheyAre) {
  const std::string largeForm = "f=" + std::string(2 * 1024 * 1024, 'x');
  const struct {
    const char* name;
    const char* method;
    std::string bodyText;
    std::string bodyBytes;
    std::string expectedMethod;
    std::string expectedBody;
  } cases[] = {
      {"gbk text body as utf-8", "POST", "name=\xD6\xD0\xB9\xFA", "", "POST", "name=\xE4\xB8\xAD\xE5\x9B\xBD"},
      {"bytes win over text", "POST", "ignored=1", std::string("\x00\x01\xD6\xD0", 4), "POST",
       std::string("\x00\x01\xD6\xD0", 4)},
      {"get without body", "", "", "", "GET", ""},
      {"post without body", "POST", "", "", "POST", ""},
      {"large body, no expect wait", "POST", largeForm, "", "POST", largeForm},
      {"other method keeps its name", "PUT", "x=1", "", "PUT", "x=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawHttpServer server(Reply(200, {}, "done"));
    CookieJar jar;
    Call call{server.Url(), c.method, c.bodyText};
    call.bodyBytes = c.bodyBytes;
    call.headerBlock = "X-Name: \xD6\xD0\xB9\xFA";
    EXPECT_EQ(call.Send(jar), "done");
    const RawRequest request = server.Requests().at(0);
    EXPECT_EQ(request.method, c.expectedMethod);
    EXPECT_EQ(request.body, c.expectedBody);
    EXPECT_EQ(request.Header("X-Name"), "\xE4\xB8\xAD\xE5\x9B\xBD");
    EXPECT_FALSE(request.HasHeader("Expect"));
  }
}

// A thread's handle carries one request after another: each request leaves
// exactly as it does from a handle of its own, whatever the one before set.
TEST(HttpExchange, EachRequestOnAKeptHandleLeavesAsFromAFreshOne) {
  RawHttpServer kept(Reply(200, {}, "a"));
  RawHttpServer fresh(Reply(200, {}, "a"));
  struct Step {
    const char* method;
    std::string bodyText;
    std::string headerBlock;
    std::chrono::milliseconds timeout;
  };
  const Step steps[] = {
      {"POST", "k=v", "X-A: 1", 5s},   {"GET", "", "X-A: 1", 5s},
      {"HEAD", "", "X-B: 2", 5s},      {"GET", "", "X-B: 2", 4s},
      {"PUT", "p=1", "X-A: 1", 4s},    {"DELETE", "", "", 4s},
      {"HEAD", "", "Expect: 100", 5s}, {"POST", "", "X-A: 1\r\nX-C: 3", 5s},
      {"GET", "", "X-A: 1", 5s},       {"OPTIONS", "o=1", "X-A: 1", 5s},
      {"GET", "", "X-A: 1", 5s},
  };
  CookieJar jar("s=1");
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.method) + " " + step.bodyText + " " + step.headerBlock);
    Call onKept{kept.Url("/p?q=1"), step.method, step.bodyText};
    Call onFresh{fresh.Url("/p?q=1"), step.method, step.bodyText};
    onKept.headerBlock = onFresh.headerBlock = step.headerBlock;
    onKept.options.timeout = onFresh.options.timeout = step.timeout;
    onFresh.options.reuseConnections = false;
    ASSERT_TRUE(onKept.Exchange(jar).Ok());
    ASSERT_TRUE(onFresh.Exchange(jar).Ok());
    const RawRequest sentOnKept = kept.Requests().back();
    const RawRequest sentOnFresh = fresh.Requests().back();
    EXPECT_EQ(sentOnKept.method, sentOnFresh.method);
    EXPECT_EQ(sentOnKept.target, sentOnFresh.target);
    EXPECT_EQ(LinesAfterHost(sentOnKept), LinesAfterHost(sentOnFresh)) << sentOnKept.head << sentOnFresh.head;
    EXPECT_EQ(sentOnKept.body, sentOnFresh.body);
  }
  EXPECT_EQ(kept.Requests().back().connection, 1);
}

TEST(HttpExchange, ReturnsTheBodyAsReceivedWhateverTheStatus) {
  const std::string binary("\x89PNG\r\n\x1A\n\x00\x00\x00\rIHDR\xFF", 17);
  RawHttpServer server(Reply(500, {"Content-Type: image/png"}, binary));
  CookieJar jar;
  Call call{server.Url()};
  const HttpExchangeResult result = call.Exchange(jar);
  EXPECT_EQ(result.outcome, ExchangeOutcome::kOk);
  EXPECT_EQ(result.status, 500);
  EXPECT_EQ(result.body, binary);
}

TEST(HttpExchange, FoldsSetCookieLinesIntoTheJar) {
  const struct {
    const char* name;
    std::vector<std::string> answerHeaders;
    const char* jarBefore;
    const char* jarAfter;
  } cases[] = {
      {"with and without ';'", {"Set-Cookie: a=1; Path=/", "Set-Cookie: b=2"}, "z = 9;  a=0", "a=1; b=2; z=9"},
      {"deleted pair", {"Set-Cookie: tk=deleted; Max-Age=0"}, "tk=abc; u=1", "u=1"},
      {"no Set-Cookie normalises only", {"Content-Type: text/plain"}, "a = 1;  b=2; a=3", "a=1; b=2"},
      {"into an empty jar", {"Set-Cookie: JSESSIONID=F00D; Path=/otn"}, "", "JSESSIONID=F00D"},
      {"Domain of another host refused",
       {"Set-Cookie: JSESSIONID=EVIL; Domain=evil.example; Path=/", "Set-Cookie: ok=1; Domain=127.0.0.1"},
       "JSESSIONID=MINE",
       "ok=1; JSESSIONID=MINE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawHttpServer server(Reply(200, c.answerHeaders, "ok"));
    CookieJar jar(c.jarBefore);
    Call call{server.Url()};
    EXPECT_EQ(call.Send(jar), "ok");
    EXPECT_EQ(jar.Text(), c.jarAfter);
  }
}

// /login answers 302 to /step (setting s=1), /step answers 302 to /final
// (setting t=2), /final answers 200.
RawHttpServer::Handler LoginChain(int finalStatus = 200) {
  return [finalStatus](const RawRequest& request, RawConnection& connection) {
    if (request.target == "/login") {
      connection.Send(Answer(302, {"Location: /step", "Set-Cookie: s=1; Path=/"}, "moved"));
    } else if (request.target == "/step") {
      connection.Send(Answer(302, {"Location: /final", "Set-Cookie: t=2"}, "moved again"));
    } else if (request.target == "/final") {
      connection.Send(Answer(finalStatus, {}, "welcome"));
    } else {
      connection.Send(Answer(404, {}, "nothing"));
    }
  };
}

TEST(HttpExchange, FollowsRedirectsAndKeepsCookiesOfEveryAnswer) {
  RawHttpServer server(LoginChain());
  CookieJar jar("old=0");
  Call call{server.Url("/login"), "POST", "user=u&pass=p"};

  EXPECT_EQ(call.Send(jar), "welcome");
  EXPECT_EQ(jar.Text(), "s=1; t=2; old=0");
  EXPECT_EQ(call.method, "POST");  // the caller's method is not changed by the redirect

  const std::vector<RawRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].body, "user=u&pass=p");
  // A 302 turns the POST into a GET without a body.
  EXPECT_EQ(requests[1].method, "GET");
  EXPECT_TRUE(requests[1].body.empty());
  // Each hop carries the cookies that the answers so far have set.
  EXPECT_EQ(requests[1].Header("Cookie"), "s=1; old=0");
  EXPECT_EQ(requests[2].Header("Cookie"), "s=1; t=2; old=0");
  EXPECT_EQ(requests[2].Header("X-Test"), "1");
}

TEST(HttpExchange, WithRedirectsSwitchedOffReturnsTheRedirectAnswer) {
  RawHttpServer server(LoginChain());
  CookieJar jar;
  Call call{server.Url("/login"), "POST", "user=u"};
  call.disableRedirects = true;

  EXPECT_EQ(call.Send(jar), "moved");
  EXPECT_EQ(jar.Text(), "s=1");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(HttpExchange, TemporaryRedirectRepeatsMethodAndBody) {
  RawHttpServer server([](const RawRequest& request, RawConnection& connection) {
    if (request.target == "/old") {
      connection.Send(Answer(307, {"Location: /new"}, ""));
    } else {
      connection.Send(Answer(200, {}, request.method + " " + request.body));
    }
  });
  CookieJar jar;
  Call call{server.Url("/old"), "POST", "a=1"};
  EXPECT_EQ(call.Send(jar), "POST a=1");
}

TEST(HttpExchange, RedirectLoopIsAFailedExchange) {
  RawHttpServer server([](const RawRequest&, RawConnection& connection) {
    connection.Send(Answer(302, {"Location: /again", "Set-Cookie: n=1"}, "loop"));
  });
  CookieJar jar;
  Call call{server.Url("/again")};
  const HttpExchangeResult result = call.Exchange(jar);
  EXPECT_EQ(result.body, "");
  EXPECT_EQ(result.outcome, ExchangeOutcome::kOther);
  EXPECT_LE(server.Requests().size(), 12u);
  EXPECT_EQ(jar.Text(), "n=1");
}

// Answers "landed:" and the Cookie headers the request carried.
void Landing(const RawRequest& request, RawConnection& connection) {
  std::string cookies;
  for (const std::string& line : request.HeaderLines()) {
    if (line.rfind("Cookie:", 0) == 0) cookies += "[" + line.substr(8) + "]";
  }
  connection.Send(Answer(200, {}, "landed:" + (cookies.empty() ? std::string("none") : cookies)));
}

TEST(HttpExchange, NoCookieHeaderFollowsARedirectToAnotherHostOrPort) {
  RawHttpServer other(Landing);
  RawHttpServer origin([&other](const RawRequest& request, RawConnection& connection) {
    const std::string host = request.Header("Host");
    const std::string port = host.substr(host.rfind(':') + 1);
    const std::string sameAddressOtherName = "http://localhost:" + port;
    if (request.target == "/to-other-port") {
      connection.Send(Answer(302, {"Location: " + other.Url("/landing"), "Set-Cookie: fresh=1"}, ""));
    } else if (request.target == "/to-other-name") {
      connection.Send(Answer(302, {"Location: " + sameAddressOtherName + "/landing"}, ""));
    } else if (request.target == "/away-and-back") {
      connection.Send(Answer(302, {"Location: " + sameAddressOtherName + "/back"}, ""));
    } else if (request.target == "/back") {
      connection.Send(Answer(302, {"Location: http://127.0.0.1:" + port + "/landing"}, ""));
    } else if (request.target == "/stay") {
      connection.Send(Answer(302, {"Location: /landing"}, ""));
    } else {
      Landing(request, connection);
    }
  });
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/to-other-port", "landed:none"},
      {"/to-other-name", "landed:none"},
      {"/away-and-back", "landed:[a=1][block=1]"},
      {"/stay", "landed:[a=1][block=1]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CookieJar jar("a=1");
    Call call{origin.Url(c.path)};
    call.headerBlock = "X-Test: 1\r\nCookie: block=1";
    EXPECT_EQ(call.Send(jar), c.expected);
  }
}

// A redirect to another host that sets its own session cookie: the cookie
// stays with that host (sent back only to it), never reaches the service,
// and never replaces the service's own JSESSIONID.
TEST(HttpExchange, CookiesOfAnotherHostStayWithIt) {
  std::string serviceUrl;
  RawHttpServer other([&serviceUrl](const RawRequest& request, RawConnection& connection) {
    if (request.target == "/sso") {
      connection.Send(Answer(302,
                             {"Location: " + serviceUrl + "/home", "Set-Cookie: JSESSIONID=FOREIGN; Path=/",
                              "Set-Cookie: sso=1; Domain=localhost"},
                             ""));
    } else {
      Landing(request, connection);
    }
  });
  RawHttpServer service([&other](const RawRequest& request, RawConnection& connection) {
    if (request.target == "/login") {
      connection.Send(Answer(302, {"Location: " + other.Url("/sso", "localhost"), "Set-Cookie: tk=7"}, ""));
    } else if (request.target == "/again") {
      connection.Send(Answer(302, {"Location: " + other.Url("/landing", "localhost")}, ""));
    } else {
      Landing(request, connection);
    }
  });
  serviceUrl = "http://127.0.0.1:" + std::to_string(service.Port());
  CookieJar jar("JSESSIONID=SERVICE");

  Call login{service.Url("/login")};
  EXPECT_EQ(login.Send(jar), "landed:[tk=7; JSESSIONID=SERVICE]");
  EXPECT_EQ(jar.Text(), "tk=7; JSESSIONID=SERVICE");
  const std::string otherKey = "localhost:" + std::to_string(other.Port());
  EXPECT_EQ(jar.OtherHostText(otherKey), "JSESSIONID=FOREIGN; sso=1");
  ASSERT_EQ(other.Requests().size(), 1u);
  EXPECT_FALSE(other.Requests()[0].HasHeader("Cookie")) << "the service's cookies never go to another host";

  // Later, that host gets its own cookies back, and only those.
  Call again{service.Url("/again")};
  EXPECT_EQ(again.Send(jar), "landed:[JSESSIONID=FOREIGN; sso=1]");
  EXPECT_EQ(jar.Text(), "tk=7; JSESSIONID=SERVICE");
}

TEST(HttpExchange, FailedExchangeGivesNoBodyAndStillNormalisesTheJar) {
  int deadPort = 0;
  {
    RawHttpServer gone(Reply(200, {}, ""));
    deadPort = gone.Port();
  }
  const std::string deadUrl = "http://127.0.0.1:" + std::to_string(deadPort) + "/";
  RawHttpServer redirectToDead(Reply(302, {"Location: " + deadUrl, "Set-Cookie: s=1"}, "moved"));
  const struct {
    const char* name;
    std::string url;
    const char* jarAfter;
    ExchangeOutcome outcome;
  } cases[] = {
      {"connection refused", deadUrl, "a=1; b=2", ExchangeOutcome::kCouldNotConnect},
      {"not a url", "no scheme here", "a=1; b=2", ExchangeOutcome::kOther},
      {"unsupported scheme", "ftp://127.0.0.1/", "a=1; b=2", ExchangeOutcome::kOther},
      // Cookies that an answer of the chain did set are not lost.
      {"redirect to a dead port", redirectToDead.Url(), "s=1; a=1; b=2", ExchangeOutcome::kCouldNotConnect},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CookieJar jar("a = 1;  b=2");
    Call call{c.url};
    const HttpExchangeResult result = call.Exchange(jar);
    EXPECT_EQ(result.body, "");
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(jar.Text(), c.jarAfter);
  }
}

TEST(HttpExchange, AnExchangeWithoutProgressForTheTimeLimitFails) {
  RawHttpServer server([](const RawRequest& request, RawConnection& connection) {
    if (request.target == "/silent") {
      connection.Wait(60s);
    } else if (request.target == "/stalls-mid-body") {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nSet-Cookie: half=1\r\n\r\npartial");
      connection.Wait(60s);
    }
  });
  const struct {
    const char* path;
    const char* jarAfter;
  } cases[] = {
      {"/silent", ""}, {"/stalls-mid-body", "half=1"},  // the answer's header did arrive
  };
  for (const auto& [path, jarAfter] : cases) {
    SCOPED_TRACE(path);
    StopAfter safety(10s);  // ends the call if the time limit is not enforced
    CookieJar jar;
    Call call{server.Url(path)};
    call.options.timeout = 300ms;
    call.options.stop = safety.Token();
    const auto start = std::chrono::steady_clock::now();
    const HttpExchangeResult result = call.Exchange(jar);
    EXPECT_EQ(result.body, "");
    EXPECT_EQ(result.outcome, ExchangeOutcome::kTimedOut);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(jar.Text(), jarAfter);
  }
}

TEST(HttpExchange, TheTimeLimitCountsIdleTimeNotTheWholeExchange) {
  // Twelve pieces 100 ms apart take longer than the limit in total, but the
  // answer never stands still for as long as the limit.
  RawHttpServer server([](const RawRequest&, RawConnection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n");
    for (int piece = 0; piece < 12; ++piece) {
      if (!connection.Wait(100ms)) return;
      connection.Send("x");
    }
  });
  CookieJar jar;
  Call call{server.Url()};
  call.options.timeout = 600ms;
  EXPECT_EQ(call.Send(jar), std::string(12, 'x'));
}

TEST(HttpExchange, AnExchangeStillGoingAtItsDeadlineFails) {
  // Each answer moves every 100 ms, so the idle limit never ends it; only
  // the deadline of the whole exchange (redirects included) does.
  RawHttpServer server([](const RawRequest& request, RawConnection& connection) {
    if (request.target == "/drip") {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nSet-Cookie: drip=1\r\n\r\n");
      for (int piece = 0; piece < 100; ++piece) {
        if (!connection.Wait(100ms)) return;
        connection.Send("x");
      }
    } else if (request.target == "/slow-hop") {
      connection.Wait(300ms);
      connection.Send(Answer(302, {"Location: /slow-end"}));
    } else if (request.target == "/slow-end") {
      connection.Wait(300ms);
      connection.Send(Answer(200, {}, "late"));
    }
  });
  const struct {
    const char* path;
    const char* jarAfter;
  } cases[] = {
      {"/drip", "drip=1"},  // the answer's header did arrive
      {"/slow-hop", ""},    // two hops of 300 ms each pass a 500 ms deadline
  };
  for (const auto& [path, jarAfter] : cases) {
    SCOPED_TRACE(path);
    StopAfter safety(10s);  // ends the call if the deadline is not enforced
    CookieJar jar;
    Call call{server.Url(path)};
    call.options.timeout = 1s;
    call.options.deadline = 500ms;
    call.options.stop = safety.Token();
    const auto start = std::chrono::steady_clock::now();
    const HttpExchangeResult result = call.Exchange(jar);
    EXPECT_EQ(result.body, "");
    EXPECT_EQ(result.outcome, ExchangeOutcome::kDeadlinePassed);
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_EQ(jar.Text(), jarAfter);
  }
}

TEST(HttpExchange, AnAnswerLargerThanTheLimitIsAFailedExchange) {
  const struct {
    const char* name;
    std::size_t limit;
    std::size_t size;
    bool chunked;
    bool accepted;
  } cases[] = {
      {"declared length at the limit", 1000, 1000, false, true},
      {"declared length over the limit", 1000, 1001, false, false},
      {"chunked at the limit", 1000, 1000, true, true},
      {"chunked over the limit", 1000, 1001, true, false},
      {"default limit, 32 MiB + 1", ExchangeOptions{}.maxBodyBytes, 32u * 1024 * 1024 + 1, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string body(c.size, 'b');
    RawHttpServer server([&](const RawRequest&, RawConnection& connection) {
      connection.Send(c.chunked ? Chunked(body) : Answer(200, {}, body));
    });
    CookieJar jar;
    Call call{server.Url()};
    call.options.maxBodyBytes = c.limit;
    const HttpExchangeResult result = call.Exchange(jar);
    EXPECT_EQ(result.body.size(), c.accepted ? c.size : 0u);
    EXPECT_EQ(result.outcome, c.accepted ? ExchangeOutcome::kOk : ExchangeOutcome::kTooLarge);
  }
}

TEST(HttpExchange, AStopRequestEndsTheExchangePromptly) {
  RawHttpServer server([](const RawRequest&, RawConnection& connection) { connection.Wait(60s); });
  CookieJar jar("a = 1");
  Call call{server.Url()};
  call.options.timeout = 30s;  // the program's limit: only the stop can end this call early
  std::stop_source stop;
  call.options.stop = stop.get_token();
  std::atomic<std::chrono::steady_clock::time_point> stoppedAt{};
  std::jthread stopper([&] {
    std::this_thread::sleep_for(50ms);
    stoppedAt = std::chrono::steady_clock::now();
    stop.request_stop();
  });
  const HttpExchangeResult result = call.Exchange(jar);
  EXPECT_EQ(result.body, "");
  EXPECT_EQ(result.outcome, ExchangeOutcome::kStopped);
  // Woken at once, not at the next poll time-out of libcurl.
  EXPECT_LT(SecondsSince(stoppedAt.load()), 0.1);
  EXPECT_EQ(jar.Text(), "a=1");
}

TEST(HttpExchange, AnAlreadyStoppedTokenSendsNothing) {
  RawHttpServer server(Reply(200, {}, "ok"));
  CookieJar jar;
  Call call{server.Url()};
  std::stop_source stop;
  stop.request_stop();
  call.options.stop = stop.get_token();
  const HttpExchangeResult result = call.Exchange(jar);
  EXPECT_EQ(result.body, "");
  EXPECT_EQ(result.outcome, ExchangeOutcome::kStopped);
  EXPECT_TRUE(server.Requests().empty());
}

TEST(HttpExchange, SuccessiveExchangesReuseTheConnectionUnlessSwitchedOff) {
  for (const bool reuse : {true, false}) {
    SCOPED_TRACE(reuse ? "reuse on" : "reuse off");
    RawHttpServer server(Reply(200, {}, "ok"));
    CookieJar jar;
    for (int round = 0; round < 3; ++round) {
      Call call{server.Url()};
      call.options.reuseConnections = reuse;
      EXPECT_EQ(call.Send(jar), "ok");
    }
    EXPECT_EQ(server.Connections(), reuse ? 1 : 3);
  }
}

TEST(HttpExchange, ProxyIsUsedOnlyWhenNamed) {
  RawHttpServer server(
      [](const RawRequest& request, RawConnection& connection) { connection.Send(Answer(200, {}, request.target)); });
  CookieJar jar;
  {
    SCOPED_TRACE("named proxy");
    Call call{"http://booking.invalid/otn/leftTicket/query?x=1"};
    call.proxy = "127.0.0.1:" + std::to_string(server.Port());
    EXPECT_EQ(call.Send(jar), "http://booking.invalid/otn/leftTicket/query?x=1");
  }
  {
    SCOPED_TRACE("no proxy: the environment's proxy is ignored");
    ::setenv("http_proxy", "http://127.0.0.1:9", 1);
    ::setenv("all_proxy", "http://127.0.0.1:9", 1);
    Call call{server.Url("/direct")};
    const std::string result = call.Send(jar);
    ::unsetenv("http_proxy");
    ::unsetenv("all_proxy");
    EXPECT_EQ(result, "/direct");
  }
}

}  // namespace
}  // namespace quillet::test
