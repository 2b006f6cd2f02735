#include "util/regex_matcher.h"

#include <gtest/gtest.h>

#include <string>

#include "util/codepage.h"

namespace quillet {
namespace {

const std::string kPassengerPattern =
    R"re(passenger_name":"(.*?)".*?sex_name":"(.*?)".*?passenger_id_type_code":"(.*?)","passenger_id_type_name":"(.*?)","passenger_id_no":"(.*?)","passenger_type":"(.*?)".*?passenger_type_name":"(.*?)".*?mobile_no":"(.*?)","phone_no":"(.*?)","email":"(.*?)")re";

std::string PassengerJson(const std::string& name, const std::string& idNo, const std::string& mobile) {
  return R"({"code":"1","passenger_name":")" + name + R"(","sex_code":"M","sex_name":")" + Gbk(u8"男") +
         R"(","born_date":"1990-01-01","country_code":"CN","passenger_id_type_code":"1","passenger_id_type_name":")" +
         Gbk(u8"二代身份证") + R"(","passenger_id_no":")" + idNo +
         R"(","passenger_type":"1","passenger_flag":"0","passenger_type_name":")" + Gbk(u8"成人") +
         R"(","mobile_no":")" + mobile + R"(","phone_no":"","email":"a@b.c","address":""})";
}

TEST(RegexMatcherTest, ChineseCharacterClass) {
  RegexMatcher re;
  EXPECT_TRUE(re.Run("[\\u4e00-\\u9fa5]", "bj" + Gbk(u8"北")));
  EXPECT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.MatchText(1), Gbk(u8"北"));

  EXPECT_TRUE(re.Run("[\\u4e00-\\u9fa5]", "beijing"));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.MatchText(1), "");

  EXPECT_TRUE(re.Run("[\\u4e00-\\u9fa5]", Gbk(u8"，")));  // full-width comma lies outside the range
  EXPECT_EQ(re.MatchCount(), 0);
}

TEST(RegexMatcherTest, PassengerPatternReadsEveryRecord) {
  const std::string rare = Gbk(u8"吉𠮷");  // a name holding a character outside GBK
  const std::string answer = R"({"data":{"normal_passengers":[)" + PassengerJson(Gbk(u8"张三"), "110", "138") + "," +
                             PassengerJson(rare, "220", "139") + "]}}";
  RegexMatcher re;
  ASSERT_TRUE(re.Run(kPassengerPattern, answer));
  ASSERT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.SubMatchText(1, 1), Gbk(u8"张三"));
  EXPECT_EQ(re.SubMatchText(2, 1), rare);
  EXPECT_EQ(re.SubMatchText(2, 2), Gbk(u8"男"));
  EXPECT_EQ(re.SubMatchText(2, 4), Gbk(u8"二代身份证"));
  EXPECT_EQ(re.SubMatchText(2, 5), "220");
  EXPECT_EQ(re.SubMatchText(2, 7), Gbk(u8"成人"));
  EXPECT_EQ(re.SubMatchText(2, 8), "139");
  EXPECT_EQ(re.SubMatchText(2, 9), "");
  EXPECT_EQ(re.SubMatchText(2, 10), "a@b.c");
  // Out of range: empty, nothing reported.
  EXPECT_EQ(re.MatchText(0), "");
  EXPECT_EQ(re.MatchText(3), "");
  EXPECT_EQ(re.SubMatchText(1, 11), "");
  EXPECT_EQ(re.SubMatchText(1, 0), "");
  EXPECT_EQ(re.SubMatchText(3, 1), "");
}

TEST(RegexMatcherTest, Dialect) {
  RegexMatcher re;
  ASSERT_TRUE(re.Run("a.c", "a\nc a\rc abc"));  // "." stops at a line feed only
  ASSERT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.MatchText(1), "a\rc");

  ASSERT_TRUE(re.Run("<(.*?)>", "<a><b>"));  // lazy and global
  ASSERT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.SubMatchText(2, 1), "b");

  ASSERT_TRUE(re.Run("(x)|(y)", "y"));  // a group that took no part is empty
  ASSERT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubMatchText(1, 1), "");
  EXPECT_EQ(re.SubMatchText(1, 2), "y");

  ASSERT_TRUE(re.Run("x*", Gbk(u8"中x")));  // empty matches step over whole characters
  EXPECT_EQ(re.MatchCount(), 3);            // "" before 中, "x", "" at the end
  EXPECT_EQ(re.MatchText(2), "x");

  ASSERT_TRUE(re.Run("", ""));
  EXPECT_EQ(re.MatchCount(), 1);
}

TEST(RegexMatcherTest, InvalidPatternFails) {
  RegexMatcher re;
  ASSERT_TRUE(re.Run("a", "a"));
  EXPECT_FALSE(re.Run("(", "a"));
  EXPECT_EQ(re.MatchCount(), 0);  // the earlier run's matches are gone
  EXPECT_EQ(re.MatchText(1), "");
  EXPECT_FALSE(re.Run("[z-a]", "a"));
}

// A cut-off answer makes the lazy gaps of the passenger pattern backtrack
// without end; the limits stop it and what was found before stays.
TEST(RegexMatcherTest, RunawayMatchIsBounded) {
  std::string answer = PassengerJson("A", "1", "2");
  for (int i = 0; i < 300; ++i) {
    answer += R"(,{"passenger_name":"x","sex_name":"y","passenger_id_type_code":"1","passenger_id_type_name":"z",)"
              R"("passenger_id_no":"3","passenger_type":"1","passenger_type_name":"w","mobile_no":"4","phone_no":"")";
  }
  RegexMatcher re;
  ASSERT_TRUE(re.Run(kPassengerPattern, answer));
  EXPECT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubMatchText(1, 1), "A");

  ASSERT_TRUE(re.Run("(a+)+$", std::string(5000, 'a') + "b"));
  EXPECT_EQ(re.MatchCount(), 0);
}

}  // namespace
}  // namespace quillet
