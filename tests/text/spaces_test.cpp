#include "text/spaces.h"

#include <gtest/gtest.h>

#include <string>

namespace joincode {
namespace {

const std::string kWideSpace("\xA1\xA1", 2);
const std::string kQun("\xC8\xBA", 2);
// A double-byte character whose second byte is 0x20 or an A1 must not be taken for a space.
const std::string kPairSpace("\x81 ", 2);
const std::string kPairA1("\xB0\xA1", 2);

struct SpaceCase {
  const char* name;
  Text text;
  Text expected;
};

TEST(TrimBothTest, Trims) {
  const SpaceCase cases[] = {
      {"ascii spaces", "  a b  ", "a b"},
      {"full-width spaces", kWideSpace + "a" + kWideSpace, "a"},
      {"mixed run", kWideSpace + " a b " + kWideSpace + " ", "a b"},
      {"tab and CR are not spaces", "\ta \r", "\ta \r"},
      {"only spaces", " " + kWideSpace + " ", ""},
      {"empty", "", ""},
      {"second byte 0x20 is not a space", "a" + kPairSpace, "a" + kPairSpace},
      {"A1 second byte does not pair with a following A1", kPairA1 + "\xA1" + "x",
       kPairA1 + "\xA1" + "x"},
      {"double-byte characters inside", " " + kQun + " " + kQun + " ", kQun + " " + kQun},
      {"lone final high byte dropped, spaces before stay", "a  \xC8", "a  "},
      {"lone final A1 dropped", "a \xA1", "a "},
      {"only a lone high byte", "\xC8", ""},
      {"leading spaces then a lone high byte", "  \xC8", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TrimBoth(c.text), c.expected);
  }
}

TEST(RemoveSpacesTest, Removes) {
  const SpaceCase cases[] = {
      {"ascii", "x=p q", "x=pq"},
      {"full-width", "a" + kWideSpace + "b", "ab"},
      {"everywhere", " a " + kWideSpace + " b ", "ab"},
      {"control bytes stay", "a\t\r\nb", "a\t\r\nb"},
      {"second byte 0x20 stays", kPairSpace + " ", kPairSpace},
      {"A1 pair split across characters stays", kPairA1 + "\xA1" + "b", kPairA1 + "\xA1" + "b"},
      {"lone final high byte dropped", "a b\xC8", "ab"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RemoveSpaces(c.text), c.expected);
  }
}

TEST(ToLowerTest, Lowers) {
  // 0xC1 followed by 'A' is one character; its second byte keeps its case.
  const std::string pairWithCapital(
      "\xC1"
      "A",
      2);
  const SpaceCase cases[] = {
      {"ascii letters", "HTTP://Example.ORG/Path", "http://example.org/path"},
      {"other bytes untouched", "@[`{Z", "@[`{z"},
      {"double-byte characters untouched", "HTTP://" + kQun, "http://" + kQun},
      {"second byte keeps its case", pairWithCapital + "B", pairWithCapital + "b"},
      {"lone final high byte kept", "A\xC8", "a\xC8"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToLower(c.text), c.expected);
  }
}

}  // namespace
}  // namespace joincode
