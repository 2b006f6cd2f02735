// The page's pieces without a server: addresses, the token, the request
// checks, the live-client places and the status snapshot.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "util/codepage.h"
#include "web/client_slots.h"
#include "web/page_assets.h"
#include "web/request_checks.h"
#include "web/web_address.h"
#include "web/web_status.h"
#include "web/web_token.h"

namespace quillet::web {
namespace {

TEST(WebAddress, ReadsPortsAndAddressesAndKnowsLoopback) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
    bool loopback;
  };
  const Case cases[] = {
      {"8765", true, "127.0.0.1", 8765, true},
      {"127.0.0.1:8765", true, "127.0.0.1", 8765, true},
      {"127.8.9.10:1", true, "127.8.9.10", 1, true},
      {"localhost:65535", true, "localhost", 65535, true},
      {"[::1]:8765", true, "::1", 8765, true},
      {"0.0.0.0:8765", true, "0.0.0.0", 8765, false},
      {"192.168.1.20:80", true, "192.168.1.20", 80, false},
      {"[::]:8765", true, "::", 8765, false},
      {"", false, "", 0, false},
      {"0", false, "", 0, false},
      {"65536", false, "", 0, false},
      {"-1", false, "", 0, false},
      {"8765x", false, "", 0, false},
      {"example.com:8765", false, "", 0, false},
      {"127.0.0.1:", false, "", 0, false},
      {"::1:8765", false, "", 0, false},
      {"[::1]8765", false, "", 0, false},
      {"999.1.1.1:80", false, "", 0, false},
  };
  for (const Case& c : cases) {
    const std::optional<WebAddress> address = ParseWebAddress(c.text);
    ASSERT_EQ(address.has_value(), c.ok) << c.text;
    if (!address) continue;
    EXPECT_EQ(address->host, c.host) << c.text;
    EXPECT_EQ(address->port, c.port) << c.text;
    EXPECT_EQ(address->loopback, c.loopback) << c.text;
  }
  EXPECT_EQ(PageUrl(*ParseWebAddress("[::1]:80"), false), "http://[::1]:80/");
  EXPECT_EQ(PageUrl(*ParseWebAddress("10.0.0.1:443"), true), "https://10.0.0.1:443/");
}

TEST(WebToken, MadeTokensAreLongRandomAndAcceptable) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::optional<std::string> token = MakeWebToken();
    ASSERT_TRUE(token);
    EXPECT_EQ(token->size(), 32u);
    EXPECT_TRUE(AcceptableWebToken(*token)) << *token;
    seen.insert(*token);
  }
  EXPECT_EQ(seen.size(), 50u);
}

TEST(WebToken, GivenTokensAreCheckedForFormAndCompareWhole) {
  EXPECT_TRUE(AcceptableWebToken("abcdefghijklmnop"));
  EXPECT_TRUE(AcceptableWebToken("A-b_c0123456789Zz"));
  EXPECT_FALSE(AcceptableWebToken("short"));
  EXPECT_FALSE(AcceptableWebToken("has space in it 123"));
  EXPECT_FALSE(AcceptableWebToken("semi;colon;cookie;x"));
  EXPECT_FALSE(AcceptableWebToken(std::string(129, 'a')));

  struct Case {
    const char* given;
    const char* expected;
    bool same;
  };
  const Case cases[] = {
      {"0123456789abcdef", "0123456789abcdef", true},
      {"0123456789abcdeF", "0123456789abcdef", false},
      {"0123456789abcde", "0123456789abcdef", false},
      {"0123456789abcdef0", "0123456789abcdef", false},
      {"", "0123456789abcdef", false},
      {"", "", false},
      {"x123456789abcdef", "0123456789abcdef", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameToken(c.given, c.expected), c.same) << c.given << " / " << c.expected;
}

TEST(RequestChecks, CookiesHostsAndCaptchaCells) {
  EXPECT_EQ(CookieValue("a=1; quillet_token=xyz; b=2", "quillet_token"), "xyz");
  EXPECT_EQ(CookieValue("quillet_token=xyz", "quillet_token"), "xyz");
  EXPECT_EQ(CookieValue("not_quillet_token=xyz", "quillet_token"), std::nullopt);
  EXPECT_EQ(CookieValue("", "quillet_token"), std::nullopt);

  const WebAddress loopback = *ParseWebAddress("127.0.0.1:8765");
  const WebAddress everywhere = *ParseWebAddress("0.0.0.0:8765");
  struct HostCase {
    const char* host;
    const WebAddress* address;
    bool ok;
  };
  const HostCase hosts[] = {
      {"127.0.0.1:8765", &loopback, true},     {"localhost:8765", &loopback, true},  {"[::1]:8765", &loopback, true},
      {"evil.example:8765", &loopback, false}, {"127.0.0.1:9999", &loopback, false}, {"", &loopback, false},
      {"server.lan:8765", &everywhere, true},
  };
  for (const HostCase& c : hosts) EXPECT_EQ(HostAcceptable(c.host, *c.address, 8765), c.ok) << c.host;

  for (const char* good : {"2,7", "2 7", "2, 7", "1,2,3,4,5,6,7,8", "8"}) EXPECT_TRUE(CaptchaCellsText(good)) << good;
  for (const char* bad : {"", ",", "0", "9", "2,2", "27", "2;7", "2,7\n", "a"}) {
    EXPECT_FALSE(CaptchaCellsText(bad)) << bad;
  }
}

TEST(PageAssets, TheWholePageWeighsUnder60KBAndLoadsNothingFromElsewhere) {
  EXPECT_LT(kPageHtml.size() + kPageCss.size() + kPageJs.size(), 60u * 1024);
  for (const std::string_view part : {kPageHtml, kPageCss, kPageJs}) {
    EXPECT_EQ(part.find("://"), std::string_view::npos) << part.substr(0, 40);
    EXPECT_EQ(part.find("@import"), std::string_view::npos);
  }
  EXPECT_NE(kPageHtml.find("lang=\"zh-CN\""), std::string_view::npos);
  EXPECT_NE(kPageHtml.find("name=\"viewport\""), std::string_view::npos);
}

TEST(ClientSlots, TheLastPlaceIsRefusedUntilOneIsGiven) {
  ClientSlots slots(32);
  for (int i = 0; i < 32; ++i) ASSERT_TRUE(slots.TryTake()) << i;
  EXPECT_FALSE(slots.TryTake());
  EXPECT_EQ(slots.Taken(), 32u);
  slots.Give();
  EXPECT_TRUE(slots.TryTake());
  EXPECT_FALSE(slots.TryTake());
}

using std::chrono::system_clock;

StatusSources FixedSources(SessionStatus status, std::vector<std::optional<system_clock::time_point>> sales,
                           system_clock::time_point now) {
  return {[status] { return status; }, [sales] { return sales; }, [now] { return now; }};
}

TEST(WebStatus, TheSnapshotHoldsWishesBookingsAndTheSaleInUtf8) {
  const auto now = system_clock::time_point(std::chrono::sys_days(std::chrono::year(2026) / 12 / 10)) +
                   std::chrono::hours(1);  // 09:00 in China
  SessionStatus status;
  status.account = Gbk(u8"张三");
  status.signedIn = true;
  WishStatus wish;
  wish.index = 0;
  wish.dates = {"2026-12-20"};
  wish.trains = {"G101"};
  wish.seatTypes = {"O", "M"};
  wish.passengers = {Gbk(u8"张伟")};
  wish.attempts = 42;
  wish.outcome = WishOutcome::kRunning;
  StatusQuery lastQuery;
  lastQuery.at = now;
  lastQuery.failed = true;
  lastQuery.failedDate = "2026-12-20";
  lastQuery.reason = Gbk(u8"网络繁忙");
  wish.lastQuery = lastQuery;
  wish.nextQueryAt = now + std::chrono::seconds(5);
  wish.lastSeen = {{"O", Gbk(u8"有"), "G101", "2026-12-20"}, {"M", "", "", ""}};
  status.wishes = {wish, wish};
  status.wishes[1].index = 1;
  status.wishes[1].outcome = WishOutcome::kBooked;
  OrderReport order;
  order.wishIndex = 1;
  order.train = "G101";
  order.orderId = "E123456789";
  order.seatName = Gbk(u8"二等座");
  status.bookings = {{now, order}};
  status.wishes[1].ending = status.bookings[0];

  WebStatus web(FixedSources(status, {now + std::chrono::minutes(30), now + std::chrono::minutes(30)}, now));
  web.SetWaitlist(0, {"W2026121000001", "waiting"});
  web.SetPayBy("E123456789", "2026-12-20 09:45:02");
  const std::string json = web.SnapshotJson();
  for (const char* part : {
           "\"account\":\"张三\"",
           "\"signedIn\":true",
           "\"classes\":[\"二等座\",\"一等座\"]",
           "\"attempts\":42",
           "\"lastQuery\":{\"at\":\"09:00:00\",\"failed\":true,\"date\":\"2026-12-20\",\"reason\":\"网络繁忙\"}",
           "\"saleAt\":\"09:30:00\"",
           "\"nextQueryAt\":\"09:00:05\"",
           "\"waitlist\":{\"id\":\"W2026121000001\",\"state\":\"waiting\"}",
           "\"seen\":[{\"class\":\"二等座\",\"tickets\":\"有\",\"train\":\"G101\",\"date\":\"2026-12-20\"},"
           "{\"class\":\"一等座\",\"tickets\":\"\",\"train\":\"\",\"date\":\"\"}]",
           "\"outcome\":\"booked\"",
           "\"orderId\":\"E123456789\"",
           "\"payBy\":\"2026-12-20 09:45:02\"",
           "\"signIn\":null",
           "\"clock\":null",
       }) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  // A booked wish waits for no sale.
  EXPECT_EQ(json.find("saleAt"), json.rfind("saleAt")) << json;
}

TEST(WebStatus, KeepsTheLast200LinesAndSendsOnlyNewOnes) {
  WebStatus web(FixedSources({}, {}, system_clock::now()));
  for (int i = 1; i <= 250; ++i) web.AddLine("line " + std::to_string(i));
  std::uint64_t last = 0;
  const std::string all = web.SnapshotJson(0, &last);
  EXPECT_EQ(last, 250u);
  EXPECT_EQ(all.find("line 50\""), std::string::npos);
  EXPECT_NE(all.find("line 51\""), std::string::npos);
  EXPECT_NE(all.find("line 250\""), std::string::npos);
  web.AddLine("line 251");
  const std::string next = web.SnapshotJson(last, &last);
  EXPECT_EQ(last, 251u);
  EXPECT_EQ(next.find("line 250\""), std::string::npos);
  EXPECT_NE(next.find("line 251\""), std::string::npos);
}

TEST(WebStatus, AWaitEndsWithAChangeOrAShutdown) {
  WebStatus web(FixedSources({}, {}, system_clock::now()));
  const std::uint64_t seen = web.Version();
  EXPECT_EQ(web.WaitForChange(seen, std::chrono::milliseconds(10)), seen);  // nothing happened
  std::thread teller([&web] { web.OnGrabAttempt(GrabAttempt{}); });
  const std::optional<std::uint64_t> changed = web.WaitForChange(seen, std::chrono::seconds(10));
  teller.join();
  ASSERT_TRUE(changed);
  EXPECT_GT(*changed, seen);

  std::thread closer([&web] { web.Shutdown(); });
  EXPECT_EQ(web.WaitForChange(*changed, std::chrono::seconds(10)), std::nullopt);
  closer.join();
}

TEST(WebStatus, ASignInShowsItsPictureOrCodeUntilSignedIn) {
  WebStatus web(FixedSources({}, {}, system_clock::now()));
  web.ShowCaptcha("JPEG");
  PendingSignIn shown = web.SignIn();
  EXPECT_EQ(shown.kind, PendingSignIn::Kind::kCaptcha);
  EXPECT_EQ(shown.jpeg, "JPEG");
  const std::uint64_t first = shown.id;
  web.ShowCaptcha("JPEG2");
  EXPECT_GT(web.SignIn().id, first);
  web.ShowQrCode("https://example.invalid/qr");
  EXPECT_NE(web.SnapshotJson().find("\"kind\":\"qr\""), std::string::npos);
  web.OnSignedIn();
  EXPECT_EQ(web.SignIn().kind, PendingSignIn::Kind::kNone);
}

}  // namespace
}  // namespace quillet::web
