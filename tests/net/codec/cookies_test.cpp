#include "net/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

TEST(MergeCookiesTest, Table) {
  struct Case {
    std::string jar, newPairs, expected;
  };
  const std::vector<Case> cases = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
      {"a=1; b=2", "a=deleted", "b=2"},
      {"a=1", "x=y=deleted", "a=1"},  // any pair ending in "=deleted" is dropped
      {"a=1;a=2", "", "a=1"},         // first old pair of a name wins
      {"", "a=1; a=2", "a=1; a=2"},   // the answer's pairs are not reduced by name
      {"", "a=1; a=1", "a=1"},        // exact duplicates are
      {"", "k=hello world", "k=helloworld"},
      {"k=a\xA1\xA1"
       "b",
       "", "k=ab"},  // full-width space removed too
      {"a=1; b=2", "", "a=1; b=2"},
      {"", "", ""},
      {"a=1;;b=2", "", "a=1; ; b=2"},      // an empty piece survives
      {"a=1; b=2;", "", "a=1; b=2"},       // no piece after a final separator
      {"flag; a=1", "flag", "flag; a=1"},  // a pair without "=" is all name
      {"JSESSIONID=old; tk=t", "JSESSIONID=new; route=r", "JSESSIONID=new; route=r; tk=t"},
  };
  for (const auto& c : cases) {
    std::string jar = c.jar;
    std::string newPairs = c.newPairs;
    EXPECT_EQ(MergeCookies(jar, newPairs), c.expected) << c.jar << " + " << c.newPairs;
    EXPECT_EQ(jar, c.expected);
  }
}

TEST(MergeCookiesTest, RewritesBothVariablesWithoutSpaces) {
  std::string jar = "a = 1";
  std::string newPairs = "b =2; c\xA1\xA1=3";
  MergeCookies(jar, newPairs);
  EXPECT_EQ(newPairs, "b=2;c=3");
  EXPECT_EQ(jar, "b=2; c=3; a=1");
}

TEST(CookieHelpersTest, NamesAndPieces) {
  EXPECT_EQ(CookieName(" name =v=w"), "name");
  EXPECT_EQ(CookieName("\xA1\xA1solo "), "solo");
  EXPECT_EQ(CookieName("=v"), "");
  EXPECT_TRUE(HasCookieName({"a=1", "B=2"}, "B"));
  EXPECT_FALSE(HasCookieName({"a=1", "B=2"}, "b"));  // case-sensitive
  EXPECT_EQ(IndexOfText({"x", "y", "y"}, "y"), 2);
  EXPECT_EQ(IndexOfText({"x"}, "z"), -1);
  EXPECT_EQ(IndexOfText({}, ""), -1);
  EXPECT_EQ(RemoveDuplicatePieces("a; b; a; ; ", "; "), "a; b; ");  // one empty piece kept
  EXPECT_EQ(RemoveDuplicatePieces("", "; "), "");
  EXPECT_EQ(RemoveDuplicatePieces("x,x,y", ","), "x,y");
}

TEST(CookieJarTest, MergeKeepsTheJar) {
  CookieJar jar("a=1");
  EXPECT_EQ(jar.Merge("b=2"), "b=2; a=1");
  EXPECT_EQ(jar.Text(), "b=2; a=1");
  jar.SetText("");
  EXPECT_EQ(jar.Text(), "");
}

// A jar merged with no pairs, again and again, between other changes, ends
// as MergeCookies applied each time would leave it.
TEST(CookieJarTest, MergesOfNoPairsMatchMergeCookies) {
  const std::vector<std::string> jars = {"",     "a=1; b=2", " a = 1 ;b=2;a=3", "a=1; x=deleted; a=1", "a=1;;b=2; ;",
                                         "=v; k"};
  for (const std::string& start : jars) {
    CookieJar jar;
    std::string reference;
    const auto step = [&](const std::string& pairs) {
      std::string copy = pairs;
      MergeCookies(reference, copy);
      EXPECT_EQ(jar.Merge(pairs), reference) << start << " + " << pairs;
      EXPECT_EQ(jar.Text(), reference);
    };
    jar.SetText(start);
    reference = start;
    step("");
    step("");
    step("c=3; a=deleted");
    step("");
    jar.SetText(start + "; z=9");
    reference = start + "; z=9";
    step("");
    step("");
  }
}

}  // namespace
}  // namespace quillet
