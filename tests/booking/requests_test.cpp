// What the client puts on the wire that is more than a concatenation: the
// header blocks, the encoded values and the browser date text.
#include "booking/requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "booking/client.h"
#include "booking/date_text.h"
#include "booking/service_paths.h"
#include "util/codepage.h"

namespace quillet {
namespace {

std::string G(std::u8string_view text) { return Gbk(text); }

TEST(HeaderBlocks, AreTheServiceTextsWithTheirOwnSpacing) {
  const HeaderBlocks blocks("https://h.example");
  const std::string xhrAgent =
      "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/49.0.2623.75 Safari/537.36";
  const std::string pageAgent =
      "User-Agent:Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/39.0.2171.95 Safari/537.36";
  const std::string page = pageAgent +
                           "\r\nAccept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8"
                           "\r\nUpgrade-Insecure-Requests: 1";
  EXPECT_EQ(blocks.xhr, "X-Requested-With: XMLHttpRequest\r\n" + xhrAgent +
                            "\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8"
                            "\r\nReferer: https://h.example" +
                            service_paths::kLoginPage + "\r\nUpgrade-Insecure-Requests: 1");
  EXPECT_EQ(blocks.page, page);
  const std::string base = "https://h.example";
  EXPECT_EQ(blocks.captcha, "Referer:" + base + service_paths::kLoginPage + "\r\n" + page);
  EXPECT_EQ(blocks.passenger, "Referer: " + base + service_paths::kOrderPage + "\r\n" + pageAgent);
  EXPECT_EQ(blocks.query, "Referer: " + base + service_paths::kLeftTicketPage);
}

TEST(RequestPieces, StationTextsAreReadOneByOne) {
  struct Case {
    const char8_t* station;
    const char8_t* sent;
  } cases[] = {
      {u8"北京北|VAP", u8"VAP"}, {u8"VAP", u8"VAP"}, {u8"a|b|SHH", u8"SHH"},
      {u8"上海|", u8""},         {u8"", u8""},       {u8"上海", u8"上海"},
  };
  for (const Case& c : cases) EXPECT_EQ(StationQueryValue(G(c.station)), G(c.sent));

  EXPECT_EQ(LeftTicketQueryPath("2026-12-12", "VAP", G(u8"上海 x"), true),
            std::string(service_paths::kLeftTicketQuery) +
                "?leftTicketDTO.train_date=2026-12-12&leftTicketDTO.from_station=VAP"
                "&leftTicketDTO.to_station=%E4%B8%8A%E6%B5%B7%20x&purpose_codes=0X00");
}

TEST(RequestPieces, LoginEncodesNameAndPassword) {
  EXPECT_EQ(LoginBody(G(u8"张三@x"), G(u8"p&w+%=中 "), "38.5,40,110.5,35"),
            "loginUserDTO.user_name=%E5%BC%A0%E4%B8%89%40x&userDTO.password=p%26w%2B%25%3D%E4%B8%AD%20"
            "&randCode=38.5,40,110.5,35");
}

TEST(RequestPieces, PassengerTextsAreEncodedAsAWhole) {
  EXPECT_EQ(PassengerTicketText("O", "1", G(u8"张三"), "1", "123"), "O%2C0%2C1%2C%E5%BC%A0%E4%B8%89%2C1%2C123%2C%2CN");
  EXPECT_EQ(OldPassengerText(G(u8"张三"), "1", "123", "1"), "%E5%BC%A0%E4%B8%89%2C1%2C123%2C1_");
}

constexpr char kZone[] =
    "+(%C3%A4%C2%B8%C2%AD%C3%A5%C2%9B%C2%BD%C3%A6%C2%A0%C2%87%C3%A5%C2%87%C2%86%C3%A6%C2%97%C2%B6%C3%A9%C2%97"
    "%C2%B4)";

class BrowserDate : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    savedZone_ = zone ? zone : "";
    hadZone_ = zone != nullptr;
    setenv("TZ", GetParam(), 1);
    tzset();
  }
  void TearDown() override {
    if (hadZone_)
      setenv("TZ", savedZone_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  std::string savedZone_;
  bool hadZone_ = false;
};

// The text is China Standard Time whatever zone the machine is in.
TEST_P(BrowserDate, RendersChinaStandardTime) {
  struct Case {
    const char* timestamp;
    std::string text;
  } cases[] = {
      {"1418106600000", std::string("Tue+Dec+9+2014+14%3A30%3A00+GMT%2B0800") + kZone},
      {"1765470600000", std::string("Fri+Dec+12+2025+00%3A30%3A00+GMT%2B0800") + kZone},  // 16:30 UTC the day before
      {"1418106600000xyz", std::string("Tue+Dec+9+2014+14%3A30%3A00+GMT%2B0800") + kZone},
      {"0", std::string("Thu+Jan+1+1970+08%3A00%3A00+GMT%2B0800") + kZone},
      {"-28800001", std::string("Wed+Dec+31+1969+23%3A59%3A59+GMT%2B0800") + kZone},
      {"", ""},
      {"abc", ""},
      {"99999999999999999999", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BrowserDateText(c.timestamp), c.text) << c.timestamp;
}

INSTANTIATE_TEST_SUITE_P(Zones, BrowserDate, ::testing::Values("UTC", "Asia/Shanghai", "America/New_York"));

TEST(MillisecondTimestamp, IsUnixTimeInMilliseconds) {
  const auto before =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  const std::string text = MillisecondTimestamp();
  const std::string seconds = MillisecondTimestamp(true);
  ASSERT_EQ(text.size(), 13u);
  EXPECT_GE(std::stoll(text), before);
  EXPECT_LT(std::stoll(text), before + 60'000);
  ASSERT_EQ(seconds.size(), 10u);
  EXPECT_LE(std::stoll(seconds) - std::stoll(text) / 1000, 1);
}

}  // namespace
}  // namespace quillet
