#include "text/url_encode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace joincode {
namespace {

TEST(UrlEncodeTest, EscapesBytes) {
  struct Case {
    const char* name;
    Text text;
    bool keepSafe;
    bool asUtf8;
    Text encoded;
  };
  const std::vector<Case> cases = {
      {"bracketed group number, safe kept", "[6986280]", true, false, "%5B6986280%5D"},
      {"bracketed group number, all escaped", "[6986280]", false, false,
       "%5B%36%39%38%36%32%38%30%5D"},
      {"gbk qun, safe kept", std::string("\xC8\xBA", 2), true, false, "%C8%BA"},
      {"gbk qun, all escaped", std::string("\xC8\xBA", 2), false, false, "%C8%BA"},
      {"gbk qun as utf-8", std::string("\xC8\xBA", 2), true, true, "%E7%BE%A4"},
      {"gbk qun as utf-8, all escaped", std::string("\xC8\xBA", 2), false, true, "%E7%BE%A4"},
      {"slash is not safe", "/", true, false, "%2F"},
      {"underscore is not safe", "_", true, false, "%5F"},
      {"tilde is not safe", "~", true, false, "%7E"},
      {"space", " ", true, false, "%20"},
      {"tab", "\t", true, false, "%09"},
      {"line feed has two digits", "\n", true, false, "%0A"},
      {"byte 0x01 has two digits", "\x01", false, false, "%01"},
      {"byte 0xFF", std::string("\xFF", 1), true, false, "%FF"},
      {"safe characters stay", "-.09AZaz", true, false, "-.09AZaz"},
      {"neighbours of the safe ranges", ",/:@[`{", true, false, "%2C%2F%3A%40%5B%60%7B"},
      {"safe characters escaped without keepSafe", "-.aZ", false, false, "%2D%2E%61%5A"},
      {"empty", "", true, false, ""},
      {"empty as utf-8", "", false, true, ""},
      {"ascii is the same as utf-8", "a b", true, true, "a%20b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlEncode(c.text, c.keepSafe, c.asUtf8), c.encoded);
  }
}

TEST(UrlEncodeTest, DefaultsEscapeEverythingAndKeepGbk) {
  EXPECT_EQ(UrlEncode(std::string("a\xC8\xBA", 3)), "%61%C8%BA");
}

// keepSafe keeps exactly 64 byte values; every other byte comes out as three characters.
TEST(UrlEncodeTest, KeepSafeKeepsExactlySixtyFourBytes) {
  int kept = 0;
  for (int value = 1; value <= 0xFF; ++value) {
    const Text byte(std::string(1, static_cast<char>(value)));
    const Text encoded = UrlEncode(byte, true);
    if (encoded == byte) {
      ++kept;
    } else {
      EXPECT_EQ(encoded.size(), 3) << "byte " << value;
      EXPECT_EQ(encoded, UrlEncode(byte, false)) << "byte " << value;
    }
  }
  EXPECT_EQ(kept, 64);
}

}  // namespace
}  // namespace joincode
