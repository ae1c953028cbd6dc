#include "text/cut.h"

#include <gtest/gtest.h>

#include <string>

namespace joincode {
namespace {

const std::string kQun("\xC8\xBA", 2);  // one GBK double-byte character

TEST(LengthTest, CountsBytes) {
  EXPECT_EQ(TextLength(Text()), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength("a" + kQun), 3);
  EXPECT_EQ(BytesLength(Bytes()), 0);
  EXPECT_EQ(BytesLength(Bytes(std::string_view("\0\0x", 3))), 3);
}

struct CutCase {
  const char* name;
  Text text;
  int32_t count;
  Text expected;
};

TEST(TextLeftTest, Cuts) {
  const CutCase cases[] = {
      {"count -2 of empty", "", -2, ""},
      {"count -2 of longer text", "abcdef", -2, ""},
      {"count 0", "abcdef", 0, ""},
      {"shorter than text", "abcdef", 2, "ab"},
      {"exactly the length", "abcdef", 6, "abcdef"},
      {"beyond the length", "abcdef", 7, "abcdef"},
      {"largest count", "abc", INT32_MAX, "abc"},
      {"splits a double-byte character", kQun + "x", 1, Text(kQun.substr(0, 1))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextLeft(c.text, c.count), c.expected);
  }
}

TEST(TextRightTest, Cuts) {
  const CutCase cases[] = {
      {"count 0", "abc", 0, ""},
      {"count -2", "abc", -2, ""},
      {"of empty", "", 3, ""},
      {"one byte", "abc", 1, "c"},
      {"beyond the length", "abc", 8, "abc"},
      {"largest count", "abc", INT32_MAX, "abc"},
      {"splits a double-byte character", "x" + kQun, 1, Text(kQun.substr(1, 1))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextRight(c.text, c.count), c.expected);
  }
}

TEST(TextMidTest, Cuts) {
  struct MidCase {
    const char* name;
    Text text;
    int32_t start;
    int32_t count;
    Text expected;
  };
  const MidCase cases[] = {
      {"inside", "abcdef", 2, 3, "bcd"},
      {"runs past the end", "abcdef", 5, 9, "ef"},
      {"count 0", "abcdef", 2, 0, ""},
      {"count negative", "abcdef", 2, -1, ""},
      {"start at the length gives the last byte", "abcdef", 6, 1, "f"},
      {"start at the length, large count", "abcdef", 6, 5, "f"},
      {"start one past the length", "abcdef", 7, 1, ""},
      {"start 0", "abcdef", 0, 2, ""},
      {"start negative", "abcdef", -1, 2, ""},
      {"largest start and count", "abc", INT32_MAX, INT32_MAX, ""},
      {"largest count", "abc", 2, INT32_MAX, "bc"},
      {"empty text", "", 1, 1, ""},
      {"second byte of a double-byte character", kQun + "z", 2, 2, Text(kQun.substr(1) + "z")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextMid(c.text, c.start, c.count), c.expected);
  }
}

TEST(BytesLeftTest, CutsAndKeepsNuls) {
  struct BytesCase {
    const char* name;
    Bytes bytes;
    int32_t count;
    Bytes expected;
  };
  const std::string raw("a\0b\0", 4);
  const BytesCase cases[] = {
      {"count 0", Bytes(raw), 0, Bytes()},
      {"count negative", Bytes(raw), -2, Bytes()},
      {"through a NUL", Bytes(raw), 3, Bytes(raw.substr(0, 3))},
      {"beyond the length", Bytes(raw), 10, Bytes(raw)},
      {"of empty", Bytes(), 5, Bytes()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BytesLeft(c.bytes, c.count), c.expected);
  }
}

}  // namespace
}  // namespace joincode
