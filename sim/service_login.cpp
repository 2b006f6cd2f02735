// Login page, captcha, the two login steps and the session check.
#include "answers.h"
#include "booking_service.h"

namespace quillet::sim {

namespace {

std::string RandomText(Rng& rng, int length) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string out;
  for (int i = 0; i < length; ++i) out.push_back(kChars[rng.Below(sizeof kChars - 1)]);
  return out;
}

constexpr char kDeletedCookieTail[] = "=deleted; Expires=Thu, 01-Jan-1970 00:00:01 GMT; Path=/passport";

}  // namespace

SimResponse BookingService::LoginPage(const SimRequest& request) {
  SimResponse response =
      HtmlPage(200, "登录 | 客运服务 | 铁路客户服务中心",
               "<div id=\"loginForm\"><h2>用户登录</h2>"
               "<form><input id=\"username\" name=\"loginUserDTO.user_name\">"
               "<input id=\"password\" type=\"password\" name=\"userDTO.password\">"
               "<img id=\"img_rand_code\" src=\"/otn/passcodeNew/getPassCodeNew?module=login&amp;rand=sjrand\">"
               "</form></div>",
               "var ctx='/otn/';\nvar isLogin=false;\n");
  Lock lock(mutex_);
  if (FindSession(request.cookieHeader) == nullptr) NewSession(response);
  return response;
}

SimResponse BookingService::CaptchaImage(const SimRequest& request) {
  SimResponse response{200, kJpegType, "", {}};
  CaptchaPicture picture;
  {
    Lock lock(mutex_);
    Session* session = FindSession(request.cookieHeader);
    if (session == nullptr) session = &NewSession(response);
    picture = NewCaptcha(session->rng, options_.captchaCells);
    session->captcha = picture;
    session->captchaPassed = false;
    // A cookie whose value holds a space, as the passport cookies had.
    response.headers.emplace_back("Set-Cookie", "_passport_ct=" + RandomText(session->rng, 16) + " t" +
                                                    std::to_string(session->rng.Between(1000, 9999)) +
                                                    "; Path=/passport");
  }
  response.headers.emplace_back("Cache-Control", "no-cache");
  response.body = RenderCaptchaJpeg(picture);
  return response;
}

SimResponse BookingService::CheckCaptcha(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  const bool right = session != nullptr && session->captcha && Field(form, "rand") == "sjrand" &&
                     CaptchaAnswerRight(*session->captcha, Field(form, "randCode"));
  if (session != nullptr) session->captchaPassed = right;
  return JsonOk(right ? "{\"result\":\"1\",\"msg\":\"TRUE\"}" : "{\"result\":\"0\",\"msg\":\"FALSE\"}");
}

SimResponse BookingService::LoginSuggest(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->captchaPassed || !session->captcha ||
      !CaptchaAnswerRight(*session->captcha, Field(form, "randCode"))) {
    return JsonRefusal(msg::kCaptchaFirst);
  }
  const Account* account = accounts_.Find(Field(form, "loginUserDTO.user_name"));
  if (account == nullptr) return JsonRefusal(msg::kUnknownUser);
  if (account->password != Field(form, "userDTO.password")) return JsonRefusal(msg::kWrongPassword);
  session->account = account->name;
  session->loggedIn = false;
  session->captcha.reset();  // a picture signs in once
  session->captchaPassed = false;
  SimResponse response = JsonOk("{\"loginCheck\":\"Y\",\"otherMsg\":\"\"}");
  response.headers.emplace_back("Set-Cookie", "uamtk=" + RandomText(session->rng, 43) + "; Path=/passport");
  return response;
}

SimResponse BookingService::UserLogin(const SimRequest& request) {
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || session->account.empty()) return Redirect("/otn/login/init");
  session->loggedIn = true;
  SimResponse response = Redirect("/otn/index/initMy12306");
  response.headers.emplace_back("Set-Cookie", "tk=" + RandomText(session->rng, 43) + "; Path=/otn");
  response.headers.emplace_back("Set-Cookie", std::string("uamtk") + kDeletedCookieTail);
  response.headers.emplace_back("Set-Cookie", std::string("_passport_ct") + kDeletedCookieTail);
  return response;
}

SimResponse BookingService::MyPage(const SimRequest& request) {
  std::string account;
  {
    Lock lock(mutex_);
    Session* session = FindSession(request.cookieHeader);
    if (session == nullptr || !session->loggedIn) return Redirect("/otn/login/init");
    account = session->account;
  }
  return HtmlPage(200, "我的12306 | 客运服务 | 铁路客户服务中心",
                  "<h2>我的12306</h2><p>欢迎您，<span id=\"login_user\">" + account + "</span></p>",
                  "var ctx='/otn/';\nvar isLogin=true;\n");
}

SimResponse BookingService::CheckUser(const SimRequest& request) {
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  const bool signedIn = session != nullptr && session->loggedIn;
  return JsonOk(signedIn ? "{\"flag\":true}" : "{\"flag\":false}");
}

SimResponse BookingService::QueryPage() {
  return HtmlPage(200, "车票查询 | 客运服务 | 铁路客户服务中心", "<h2>车票查询</h2>",
                  "var ctx='/otn/';\nvar CLeftTicketUrl='leftTicket/query';\n");
}

}  // namespace quillet::sim
