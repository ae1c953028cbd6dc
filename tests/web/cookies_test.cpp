#include "web/cookies.h"

#include <gtest/gtest.h>

#include <vector>

namespace joincode {
namespace {

TEST(MergeCookiesTest, MergesIntoBothVariables) {
  struct Case {
    const char* name;
    Text sent;
    Text received;
    Text merged;         // returned and left in the sent variable
    Text receivedAfter;  // left in the received variable
  };
  const std::vector<Case> cases = {
      {"received replaces sent of the same name", "a=1; b=2", "b=3", "b=3; a=1", "b=3"},
      {"received deletion drops the sent pair", "a=1", "a=deleted", "", "a=deleted"},
      {"sent deletion is dropped too", "a=deleted; b=2", "", "b=2", ""},
      {"sent deletion dropped when the server did not set it", "x=1; a=deleted", "c=3", "c=3; x=1",
       "c=3"},
      {"deletion marker compares with case", "a=DELETED", "", "a=DELETED", ""},
      {"both empty", "", "", "", ""},
      {"first of two sent pairs with one name", "a=1;a=2", "", "a=1", ""},
      {"received pairs first, in their order", "z=9", "y=2;x=1", "y=2; x=1; z=9", "y=2;x=1"},
      {"spaces inside a value disappear", "x=p q", "", "x=pq", ""},
      {"received spaces removed in the variable", "", "c=1; d=2", "c=1; d=2", "c=1;d=2"},
      {"full-width spaces removed", std::string("x=\xA1\xA1p", 5), "", "x=p", ""},
      {"trailing semicolon adds nothing", "a=1;", "", "a=1", ""},
      {"empty pair between semicolons survives", "a=1;;b=2", "", "a=1; ; b=2", ""},
      {"names compare with case", "A=1", "a=2", "a=2; A=1", "a=2"},
      {"pair without equals", "flag; a=1", "flag", "flag; a=1", "flag"},
      {"all pairs deleted", "a=deleted", "b=deleted", "", "b=deleted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text sent = c.sent;
    Text received = c.received;
    const Text result = MergeCookies(sent, received);
    EXPECT_EQ(result, c.merged);
    EXPECT_EQ(sent, c.merged);
    EXPECT_EQ(received, c.receivedAfter);
  }
}

// One variable carried from request to request grows into a jar.
TEST(MergeCookiesTest, CarriedAcrossRequests) {
  Text jar;
  Text first = "sid=1; path=/";
  MergeCookies(jar, first);
  Text second = "lang=zh";
  MergeCookies(jar, second);
  Text third = "sid=2";
  MergeCookies(jar, third);
  EXPECT_EQ(jar, "sid=2; lang=zh; path=/");
}

TEST(HasCookieTest, FindsByName) {
  struct Case {
    const char* name;
    TextArray pairs;
    Text cookie;
    bool found;
  };
  const std::vector<Case> cases = {
      {"pair by name", {"a=1", "b=2"}, "b", true},
      {"pair without equals by its trimmed text", {" flag "}, "flag", true},
      {"case matters", {"A=1"}, "a", false},
      {"value is no name", {"a=b"}, "b", false},
      {"empty list", {}, "a", false},
      {"empty member has the empty name", {"a=1", ""}, "", true},
      {"name trimmed before comparing", {" a =1"}, "a", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HasCookie(c.pairs, c.cookie), c.found);
  }
}

}  // namespace
}  // namespace joincode
