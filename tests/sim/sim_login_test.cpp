// Login, captcha and session handling of a running quillet-sim.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

// Width and height from a JPEG's start-of-frame segment.
bool JpegSize(const std::string& jpeg, int& width, int& height) {
  if (jpeg.size() < 4 || static_cast<unsigned char>(jpeg[0]) != 0xFF || static_cast<unsigned char>(jpeg[1]) != 0xD8) {
    return false;
  }
  std::size_t pos = 2;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(jpeg[i]); };
  while (pos + 9 < jpeg.size()) {
    if (byte(pos) != 0xFF) return false;
    const unsigned char marker = byte(pos + 1);
    const std::size_t length = byte(pos + 2) * 256u + byte(pos + 3);
    if (marker >= 0xC0 && marker <= 0xC2) {
      height = byte(pos + 5) * 256 + byte(pos + 6);
      width = byte(pos + 7) * 256 + byte(pos + 8);
      return true;
    }
    pos += 2 + length;
  }
  return false;
}

TEST(SimLogin, WholeLoginSetsTheSessionCookies) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);

  const SimAnswer page = client.Get(service_paths::kLoginPage);
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(Has(page.body, "<html"));
  for (const char* name : {"JSESSIONID", "BIGipServerotn", "route"}) EXPECT_TRUE(client.HasCookie(name)) << name;

  const SimAnswer picture = client.Get(service_paths::kCaptchaPicture);
  int width = 0, height = 0;
  ASSERT_TRUE(JpegSize(picture.body, width, height));
  EXPECT_EQ(width, 293);
  EXPECT_EQ(height, 190);
  EXPECT_TRUE(Has(client.Cookie("_passport_ct"), " ")) << "a cookie value with a space";

  const std::vector<int> cells = sim.CaptchaCells(client.SessionId());
  ASSERT_FALSE(cells.empty());
  ASSERT_LE(cells.size(), 3u);
  const std::string answer = CaptchaAnswer(cells);
  EXPECT_TRUE(Has(client.Post(service_paths::kCaptchaCheck, "randCode=" + answer + "&rand=sjrand").body,
                  "\"data\":{\"result\":\"1\",\"msg\":\"TRUE\"}"));
  const SimAnswer suggest =
      client.Post(service_paths::kLogin, "loginUserDTO.user_name=demo&userDTO.password=demo1234&randCode=" + answer);
  EXPECT_TRUE(Has(suggest.body, "\"data\":{\"loginCheck\":\"Y\",\"otherMsg\":\"\"},\"messages\":[]")) << suggest.body;
  EXPECT_TRUE(client.HasCookie("uamtk"));
  EXPECT_TRUE(Has(client.Post(service_paths::kCheckUser, "_json_att=").body, "flag\":false"))
      << "signed in only after userLogin";

  const SimAnswer login = client.Post(service_paths::kLoginConfirm, "_json_att=");
  EXPECT_EQ(login.status, 302);
  EXPECT_EQ(login.location, service_paths::kSignedInHome);
  EXPECT_FALSE(client.Cookie("tk").empty());
  EXPECT_FALSE(client.HasCookie("uamtk")) << "deleted by setting it to 'deleted'";
  EXPECT_FALSE(client.HasCookie("_passport_ct"));
  EXPECT_TRUE(Has(client.Get(login.location).body, "demo"));
  EXPECT_TRUE(Has(client.Post(service_paths::kCheckUser, "_json_att=").body, "\"data\":{\"flag\":true}"));
}

TEST(SimLogin, EachPictureDrawsANewAnswerAndTheOldOneStopsWorking) {
  SimProcess sim({"--seed", "3"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  client.Get(service_paths::kLoginPage);
  std::vector<std::vector<int>> answers;
  for (int i = 0; i < 6; ++i) {
    client.Get(service_paths::kCaptchaPicture);
    answers.push_back(sim.CaptchaCells(client.SessionId()));
  }
  EXPECT_NE(std::count(answers.begin(), answers.end(), answers.back()), 6) << "answers never change";
  const std::vector<int> old = answers.back();
  std::vector<int> other;
  do {
    client.Get(service_paths::kCaptchaPicture);
    other = sim.CaptchaCells(client.SessionId());
  } while (other == old);
  EXPECT_TRUE(Has(client.Post(service_paths::kCaptchaCheck, "randCode=" + CaptchaAnswer(old) + "&rand=sjrand").body,
                  "msg\":\"FALSE"));
}

struct CaptchaCase {
  const char* name;
  std::string randCode;  // with cells 2 and 7 right
};

void PrintTo(const CaptchaCase& c, std::ostream* os) { *os << c.name; }

class SimCaptchaCheckTest : public ::testing::TestWithParam<CaptchaCase> {};

TEST_P(SimCaptchaCheckTest, WrongAnswersAreRefused) {
  SimProcess sim({"--captcha-cells", "2,7"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  client.Get(service_paths::kLoginPage);
  client.Get(service_paths::kCaptchaPicture);
  const SimAnswer check = client.Post(service_paths::kCaptchaCheck, "randCode=" + GetParam().randCode + "&rand=sjrand");
  EXPECT_TRUE(Has(check.body, "\"data\":{\"result\":\"0\",\"msg\":\"FALSE\"}")) << check.body;
  EXPECT_FALSE(Has(check.body, "msg\":\"TRUE"));
  // And no login without a right check.
  const SimAnswer suggest = client.Post(
      service_paths::kLogin, "loginUserDTO.user_name=demo&userDTO.password=demo1234&randCode=" + CaptchaAnswer({2, 7}));
  EXPECT_TRUE(Has(suggest.body, "status\":false")) << suggest.body;
  EXPECT_FALSE(Has(suggest.body, "loginCheck\":\"Y"));
}

INSTANTIATE_TEST_SUITE_P(Answers, SimCaptchaCheckTest,
                         ::testing::Values(CaptchaCase{"Empty", ""}, CaptchaCase{"OneOfTwo", "110.5,35"},
                                           CaptchaCase{"OneWrongExtra", "110.5,35,182,115,38.5,40"},
                                           CaptchaCase{"InTheGapBetweenTiles", "110.5,35,74,40"},
                                           CaptchaCase{"AboveTheTilesInTheStrip", "110.5,-20,182,115"},
                                           CaptchaCase{"OddNumberCount", "110.5,35,182"},
                                           CaptchaCase{"NotNumbers", "a,b,c,d"},
                                           CaptchaCase{"CellNumbersInsteadOfPoints", "2,7"}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SimLogin, FixedCellsAnswerEveryPicture) {
  SimProcess sim({"--captcha-cells", "2,7"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  client.Get(service_paths::kLoginPage);
  for (int i = 0; i < 3; ++i) {
    client.Get(service_paths::kCaptchaPicture);
    EXPECT_EQ(sim.CaptchaCells(client.SessionId()), (std::vector<int>{2, 7}));
  }
  EXPECT_TRUE(
      Has(client.Post(service_paths::kCaptchaCheck, "randCode=110.5,35,182,115&rand=sjrand").body, "msg\":\"TRUE"));
  // The same tile hit twice, in another order, is still the same set.
  EXPECT_TRUE(Has(client.Post(service_paths::kCaptchaCheck, "randCode=182,115,100,20,110.5,35&rand=sjrand").body,
                  "msg\":\"TRUE"));
}

struct AccountCase {
  const char* name;
  std::string user;
  std::string password;
  const char* message;
};

void PrintTo(const AccountCase& c, std::ostream* os) { *os << c.name; }

class SimAccountTest : public ::testing::TestWithParam<AccountCase> {};

TEST_P(SimAccountTest, WrongAccountIsRefusedWithTheServiceMessage) {
  SimProcess sim({"--account", "张三:p&w"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  EXPECT_FALSE(client.SignIn(GetParam().user, GetParam().password));
  const std::string answer = CaptchaAnswer(sim.CaptchaCells(client.SessionId()));
  ASSERT_FALSE(answer.empty()) << "a refused login keeps the picture";
  client.Post(service_paths::kCaptchaCheck, "randCode=" + answer + "&rand=sjrand");
  const SimAnswer suggest =
      client.Post(service_paths::kLogin, "loginUserDTO.user_name=" + UrlEncode(GetParam().user) +
                                             "&userDTO.password=" + GetParam().password + "&randCode=" + answer);
  EXPECT_TRUE(Has(suggest.body, std::string("\"status\":false")));
  EXPECT_TRUE(Has(suggest.body, std::string("\"messages\":[\"") + GetParam().message + "\"]")) << suggest.body;
  EXPECT_FALSE(client.HasCookie("tk"));
}

INSTANTIATE_TEST_SUITE_P(Accounts, SimAccountTest,
                         ::testing::Values(AccountCase{"UnknownName", "nobody", "demo1234", "登录名不存在。"},
                                           AccountCase{"WrongPassword", "demo", "demo12345",
                                                       "密码输入错误。如果输错次数超过4次，用户将被锁定。"},
                                           // An "&" sent unescaped cuts the password short, as it did at the service.
                                           AccountCase{"AmpersandUnescaped", "张三", "p&w",
                                                       "密码输入错误。如果输错次数超过4次，用户将被锁定。"}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SimLogin, ExtraAccountsSignInBesideDemo) {
  SimProcess sim({"--account", "张三:p&w"});
  ASSERT_TRUE(sim.Running());
  SimConversation chinese(sim);
  EXPECT_TRUE(chinese.SignIn("张三", UrlEncode("p&w")));
  SimConversation demo(sim);
  EXPECT_TRUE(demo.SignIn());
}

TEST(SimLogin, SessionEndsAfterItsIdleTime) {
  SimProcess sim({"--session-ttl", "1"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  ASSERT_TRUE(client.SignIn());
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  EXPECT_TRUE(Has(client.Post(service_paths::kCheckUser, "_json_att=").body, "\"data\":{\"flag\":false}"));
  EXPECT_TRUE(Has(sim.State(), "\"sessions\":0"));
}

TEST(SimLogin, UserLoginWithoutTheFirstStepSendsBackToTheLoginPage) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  client.Get(service_paths::kLoginPage);
  const SimAnswer login = client.Post(service_paths::kLoginConfirm, "_json_att=");
  EXPECT_EQ(login.status, 302);
  EXPECT_EQ(login.location, service_paths::kLoginPage);
  EXPECT_FALSE(client.HasCookie("tk"));
  EXPECT_TRUE(Has(client.Post(service_paths::kCheckUser, "_json_att=").body, "flag\":false"));
}

// Every endpoint that needs a signed-in session refuses without one.
TEST(SimLogin, EndpointsRefuseWithoutLogin) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  client.Get(service_paths::kLoginPage);
  for (const char* path :
       {service_paths::kPassengers, service_paths::kSubmitOrderRequest, service_paths::kCheckOrderInfo,
        service_paths::kQueueCount, service_paths::kConfirmSingleForQueue, service_paths::kOrderResult,
        service_paths::kUnfinishedOrders}) {
    const SimAnswer answer = client.Post(path, "_json_att=");
    EXPECT_TRUE(Has(answer.body, "\"status\":false")) << path;
    EXPECT_TRUE(Has(answer.body, "\"messages\":[\"用户未登录\"]")) << path << ": " << answer.body;
  }
  EXPECT_TRUE(Has(client
                      .Get(std::string(service_paths::kOrderWaitTime) + "?random=1&tourFlag=dc&_json_att=&"
                                                                        "REPEAT_SUBMIT_TOKEN=x")
                      .body,
                  "用户未登录"));
  for (const SimAnswer& page :
       {client.Post(service_paths::kOrderPage, "_json_att="), client.Get(service_paths::kSignedInHome)}) {
    EXPECT_EQ(page.status, 302);
    EXPECT_EQ(page.location, service_paths::kLoginPage);
  }
}

}  // namespace
}  // namespace quillet::test
