// The JSON document and the notification text made from an event.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "notify/event_json.h"
#include "notify/notification_text.h"
#include "utf8_text.h"
#include "util/codepage.h"

namespace quillet {
namespace {

using test::Utf8;

class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneGuard() {
    if (old_.empty()) {
      ::unsetenv("TZ");
    } else {
      ::setenv("TZ", old_.c_str(), 1);
    }
    ::tzset();
  }

 private:
  std::string old_;
};

// 2026-12-20 01:15:02 UTC
const auto kMoment = std::chrono::system_clock::from_time_t(1797729302);

NotifyEvent Booking() {
  NotifyEvent event;
  event.kind = NotifyEventKind::kBooked;
  event.train = "G101";
  event.date = "2026-12-20";
  event.seatClass = Gbk(u8"二等座");
  event.passengers = {Gbk(u8"张伟"), Gbk(u8"李娜")};
  event.orderId = "E123456789";
  event.payBy = "2026-12-20 09:45";
  event.at = kMoment;
  return event;
}

TEST(EventJson, CarriesTheEventAsUtf8) {
  ZoneGuard zone("CST-8");
  NotifyEvent manual = Booking();
  manual.kind = NotifyEventKind::kManualCheck;
  manual.orderId.reset();
  manual.payBy.reset();
  NotifyEvent lapsed;
  lapsed.kind = NotifyEventKind::kSessionLapsed;
  lapsed.at = kMoment;
  NotifyEvent lapsedWithCode = lapsed;
  lapsedWithCode.qrContent = "https://kyfw.12306.cn/otn/login/qr?uuid=u1";
  lapsedWithCode.qrPicture = "/run/user/1000/quillet-grab-x/quillet-qr-2.png";
  NotifyEvent lapsedWithPage = lapsed;
  lapsedWithPage.pageUrl = "http://server:8765/";
  NotifyEvent odd = Booking();
  odd.passengers = {"a\"b\\c\n\x01"};
  odd.orderId.reset();
  odd.payBy.reset();

  const struct {
    const char* name;
    NotifyEvent event;
    std::string json;
  } cases[] = {
      {"booking", Booking(),
       Utf8(u8R"({"event":"booked","train":"G101","date":"2026-12-20","seat":"二等座","passengers":["张伟","李娜"],)"
            u8R"("order_id":"E123456789","pay_by":"2026-12-20 09:45","at":"2026-12-20T09:15:02+08:00"})")},
      {"manual check without order id", manual,
       Utf8(
           u8R"({"event":"manual_check","train":"G101","date":"2026-12-20","seat":"二等座","passengers":["张伟","李娜"],)"
           u8R"("order_id":null,"at":"2026-12-20T09:15:02+08:00"})")},
      {"lapsed session", lapsed,
       R"({"event":"session_lapsed","train":"","date":"","seat":"","passengers":[],"order_id":null,)"
       R"("at":"2026-12-20T09:15:02+08:00"})"},
      {"lapsed session with a QR code to scan", lapsedWithCode,
       R"({"event":"session_lapsed","train":"","date":"","seat":"","passengers":[],"order_id":null,)"
       R"("qr_content":"https://kyfw.12306.cn/otn/login/qr?uuid=u1",)"
       R"("qr_picture":"/run/user/1000/quillet-grab-x/quillet-qr-2.png","at":"2026-12-20T09:15:02+08:00"})"},
      {"lapsed session with the page to sign in on", lapsedWithPage,
       R"({"event":"session_lapsed","train":"","date":"","seat":"","passengers":[],"order_id":null,)"
       R"("page_url":"http://server:8765/","at":"2026-12-20T09:15:02+08:00"})"},
      {"escaping", odd,
       Utf8(
           u8R"({"event":"booked","train":"G101","date":"2026-12-20","seat":"二等座","passengers":["a\"b\\c\n\u0001"],)"
           u8R"("order_id":null,"at":"2026-12-20T09:15:02+08:00"})")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EventJson(c.event), c.json);
  }
}

// The webhook's and the command's moment is China Standard Time, like the
// service's own moments, whatever zone this machine is set to.
TEST(EventJson, TheMomentIsChinaStandardTimeInEveryZone) {
  NotifyEvent event = Booking();
  for (const char* zone : {"UTC0", "<-0330>3:30", "CST-8"}) {
    ZoneGuard guard(zone);
    EXPECT_NE(EventJson(event).find("\"at\":\"2026-12-20T09:15:02+08:00\""), std::string::npos) << zone;
  }
}

TEST(NotificationText, BookingIsCriticalAndNamesTheTripPartyOrderAndDeadline) {
  const NotificationText booked = NotificationFor(Booking());
  EXPECT_EQ(booked.summary, Utf8(u8"订票成功，请尽快付款"));
  EXPECT_EQ(booked.body, Utf8(u8"G101 2026-12-20 二等座\n张伟、李娜\n订单号：E123456789\n付款截止：2026-12-20 09:45"));
  EXPECT_EQ(booked.urgency, NotificationUrgency::kCritical);

  NotifyEvent lapsed;
  lapsed.kind = NotifyEventKind::kSessionLapsed;
  const NotificationText text = NotificationFor(lapsed);
  EXPECT_EQ(text.summary, Utf8(u8"登录已失效，请重新登录"));
  EXPECT_EQ(text.body, "");
  EXPECT_EQ(text.urgency, NotificationUrgency::kNormal);
  // A QR run's lapse says where to go on.
  lapsed.qrContent = "https://kyfw.12306.cn/otn/login/qr?uuid=u1";
  EXPECT_EQ(NotificationFor(lapsed).body,
            Utf8(u8"用铁路12306手机应用扫码并确认：https://kyfw.12306.cn/otn/login/qr?uuid=u1"));
  // With quillet-grab's page, the lapse also names it.
  lapsed.pageUrl = "http://server:8765/";
  EXPECT_EQ(NotificationFor(lapsed).body,
            Utf8(u8"用铁路12306手机应用扫码并确认：https://kyfw.12306.cn/otn/login/qr?uuid=u1\n"
                 u8"在网页上重新登录：http://server:8765/"));
}

// The account is named only where the front end asks for it (a run of
// several accounts); the window's texts stay as they are.
TEST(NotificationText, TheAccountIsNamedOnlyWhenAskedFor) {
  ZoneGuard zone("CST-8");
  NotifyEvent event = Booking();
  event.account = Gbk(u8"李四");
  EXPECT_EQ(NotificationFor(event).body.find(Utf8(u8"账号")), std::string::npos);
  EXPECT_EQ(EventJson(event).find("\"account\""), std::string::npos);
  event.nameAccount = true;
  EXPECT_EQ(NotificationFor(event).body.rfind(Utf8(u8"账号：李四\nG101 2026-12-20"), 0), 0u)
      << NotificationFor(event).body;
  EXPECT_EQ(EventJson(event).rfind(Utf8(u8"{\"event\":\"booked\",\"account\":\"李四\",\"train\":\"G101\""), 0), 0u)
      << EventJson(event);
}

}  // namespace
}  // namespace quillet
