// The readers of a moved query path and of throttling signs.
#include "booking/query_answer.h"
#include "booking/service_paths.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(QueryPathMove, RedirectAnswersWithGoodAndBadPaths) {
  struct Case {
    std::string answer;
    QueryPathVerdict verdict;
    std::string path;
    QueryPathProblem problem;
  };
  const std::string longName(65, 'q');
  const Case cases[] = {
      {R"({"status":false,"c_url":"leftTicket/queryZ","c_name":"CLeftTicketUrl"})", QueryPathVerdict::kMoved,
       service_paths::kApplicationRoot + std::string("leftTicket/queryZ"), QueryPathProblem::kNone},
      {R"({"c_url":"leftTicket/query_A1","status":false})", QueryPathVerdict::kMoved,
       service_paths::kApplicationRoot + std::string("leftTicket/query_A1"), QueryPathProblem::kNone},
      {R"({"status":false,"c_url":")" + std::string(64, 'q') + R"("})", QueryPathVerdict::kMoved,
       service_paths::kApplicationRoot + std::string(64, 'q'), QueryPathProblem::kNone},
      {R"({"status":false,"c_url":")" + longName + R"("})", QueryPathVerdict::kBadPath, "", QueryPathProblem::kTooLong},
      {R"({"status":false,"c_url":""})", QueryPathVerdict::kBadPath, "", QueryPathProblem::kEmpty},
      {R"({"status":false,"c_url":"leftTicket/query)", QueryPathVerdict::kBadPath, "", QueryPathProblem::kEmpty},
      {R"({"status":false,"c_url":"https://evil.example/q"})", QueryPathVerdict::kBadPath, "",
       QueryPathProblem::kBadCharacters},
      {R"({"status":false,"c_url":"../login/init"})", QueryPathVerdict::kBadPath, "", QueryPathProblem::kBadCharacters},
      {R"({"status":false,"c_url":"leftTicket/q?x=1"})", QueryPathVerdict::kBadPath, "",
       QueryPathProblem::kBadCharacters},
      {R"({"status":false,"c_url":"leftTicket/q\u0000"})", QueryPathVerdict::kBadPath, "",
       QueryPathProblem::kBadCharacters},
      {R"({"status":false,"c_url":"//evil/q"})", QueryPathVerdict::kBadPath, "", QueryPathProblem::kNotUnderService},
      {R"({"status":false,"c_url":"/passport/web/q"})", QueryPathVerdict::kBadPath, "",
       QueryPathProblem::kNotUnderService},
      // Not a redirect answer: a normal answer, a refusal, a true status.
      {R"({"status":true,"data":{"result":[]}})", QueryPathVerdict::kNotMoved, "", QueryPathProblem::kNone},
      {R"({"status":false,"messages":["x"]})", QueryPathVerdict::kNotMoved, "", QueryPathProblem::kNone},
      {R"({"status":true,"c_url":"leftTicket/queryZ"})", QueryPathVerdict::kNotMoved, "", QueryPathProblem::kNone},
      {"", QueryPathVerdict::kNotMoved, "", QueryPathProblem::kNone},
  };
  for (const Case& c : cases) {
    const QueryPathMove move = ReadQueryPathMove(c.answer);
    EXPECT_EQ(move.verdict, c.verdict) << c.answer;
    EXPECT_EQ(move.path, c.path) << c.answer;
    EXPECT_EQ(move.problem, c.problem) << c.answer;
  }
}

TEST(QueryAnswerSign, ThrottlingSignsEmptyAnswersAndNormalOnes) {
  const std::string asked = service_paths::kLeftTicketQuery;
  struct Case {
    long status;
    std::string answerPath;
    std::string body;
    QueryAnswerSign sign;
  };
  const Case cases[] = {
      {200, asked, R"({"status":true,"data":{"result":["a|b"]}})", QueryAnswerSign::kNormal},
      {200, asked, R"({"status":false,"messages":["选择的查询日期不在预售日期范围内"]})", QueryAnswerSign::kNormal},
      {200, "/otn/view/error.html", "<p>whatever</p>", QueryAnswerSign::kThrottled},
      {200, "/mormhweb/logFiles/Error.html", "", QueryAnswerSign::kThrottled},
      {302, asked, "", QueryAnswerSign::kThrottled},
      {200, asked, R"({"status":false,"messages":["网络繁忙"]})", QueryAnswerSign::kThrottled},
      {200, asked, "<html>请求过于频繁，请稍后再试</html>", QueryAnswerSign::kThrottled},
      {200, asked, "", QueryAnswerSign::kEmpty},
      {200, asked, " \r\n", QueryAnswerSign::kEmpty},
      // Sent elsewhere but not to an error page: not a sign.
      {200, service_paths::kLoginPage, "<html>login</html>", QueryAnswerSign::kNormal},
      {502, asked, "", QueryAnswerSign::kNormal},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadQueryAnswerSign(c.status, asked, c.answerPath, c.body), c.sign) << c.answerPath << " " << c.body;
  }
}

}  // namespace
}  // namespace quillet
