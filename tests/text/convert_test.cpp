#include "text/convert.h"

#include <gtest/gtest.h>

#include <string>

namespace joincode {
namespace {

std::string FullWidth(std::string_view ascii) {
  std::string wide;
  for (char byte : ascii) {
    wide += byte == ' ' ? '\xA1' : '\xA3';
    wide += byte == ' ' ? '\xA1' : static_cast<char>(byte + 0x80);
  }
  return wide;
}

TEST(TextToIntTest, Reads) {
  struct IntCase {
    const char* name;
    Text text;
    int32_t expected;
  };
  const IntCase cases[] = {
      {"empty", "", 0},
      {"digits", "8080", 8080},
      {"digits then other bytes", "42px", 42},
      {"leading blanks and controls", " \t\n\v\f\r17", 17},
      {"plus sign", "+5", 5},
      {"minus sign", "-5", -5},
      {"sign without digits", "-", 0},
      {"two signs", "--5", 0},
      {"space after the sign", "- 5", 0},
      {"hexadecimal prefix", "0x1F", 0},
      {"no exponent", "1e3", 1},
      {"no grouping", "1,000", 1},
      {"leading letter", "a1", 0},
      {"full-width digits", std::string("\xA3\xB8\xA3\xB0", 4), 80},
      {"full-width sign and space", FullWidth(" -12"), -12},
      {"full-width and ascii mixed", "1" + FullWidth("2") + "3", 123},
      {"largest", "2147483647", INT32_MAX},
      {"smallest", "-2147483648", INT32_MIN},
      {"wraps past the largest", "2147483648", INT32_MIN},
      {"wraps in 32 bits", "4294967297", 1},
      {"long digit run wraps", "99999999999", static_cast<int32_t>(99999999999LL & 0xFFFFFFFF)},
      {"ascii digit as second byte is not a digit",
       std::string("\x81"
                   "5",
                   2),
       0},
      {"A3 A1-FE only", std::string("\xA3\xA0", 2) + "5", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextToInt(c.text), c.expected);
  }
}

TEST(HexTextTest, Writes) {
  struct HexCase {
    const char* name;
    int32_t value;
    Text expected;
  };
  const HexCase cases[] = {
      {"zero", 0, "0"},
      {"ten", 10, "A"},
      {"255", 255, "FF"},
      {"256", 256, "100"},
      {"-1", -1, "FFFFFFFF"},
      {"smallest", INT32_MIN, "80000000"},
      {"largest", INT32_MAX, "7FFFFFFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HexText(c.value), c.expected);
  }
}

TEST(FillTest, CharTextBlankTextBlankBytes) {
  EXPECT_EQ(CharText(0), Text());
  EXPECT_EQ(CharText('a'), Text("a"));
  EXPECT_EQ(CharText(0xC8), Text("\xC8"));
  EXPECT_EQ(BlankText(0), Text());
  EXPECT_EQ(BlankText(-3), Text());
  EXPECT_EQ(BlankText(3), Text("   "));
  EXPECT_EQ(BlankBytes(0), Bytes());
  EXPECT_EQ(BlankBytes(-1), Bytes());
  EXPECT_EQ(BlankBytes(3), Bytes(std::string(3, '\0')));
}

TEST(FillTest, BlankBytesIsWritableInPlace) {
  Bytes buffer = BlankBytes(4);
  buffer.data()[0] = 'o';
  buffer.data()[1] = 'k';
  EXPECT_EQ(BytesToText(buffer), Text("ok"));
}

TEST(ConversionTest, BytesAndText) {
  EXPECT_EQ(ToBytes("abc"), Bytes(std::string_view("abc")));
  EXPECT_EQ(ToBytes("abc").size(), 3);
  EXPECT_EQ(ToBytes(""), Bytes());
  EXPECT_EQ(BytesToText(Bytes(std::string_view("ab\0cd", 5))), Text("ab"));
  EXPECT_EQ(BytesToText(Bytes(std::string_view("\xC8\xBA", 2))), Text("\xC8\xBA"));
  EXPECT_EQ(BytesToText(Bytes()), Text());
  EXPECT_EQ(BytesToText(Text("copy")), Text("copy"));
}

TEST(ConcatTest, Joins) {
  EXPECT_EQ(Concat("a", "b"), Text("ab"));
  EXPECT_EQ(Concat("a", "b", "c"), Text("abc"));
  EXPECT_EQ(Concat(Text(), "x", Text()), Text("x"));
  EXPECT_EQ(Concat(Text(), Text()), Text());
  EXPECT_EQ(ConcatBytes(Bytes(std::string_view("a\0", 2)), Bytes(std::string_view("\0b", 2))),
            Bytes(std::string_view("a\0\0b", 4)));
  EXPECT_EQ(ConcatBytes(Bytes(), Bytes()), Bytes());
}

TEST(CompareTest, Orders) {
  struct CompareCase {
    const char* name;
    Text left;
    Text right;
    int expectedSign;
  };
  const CompareCase cases[] = {
      {"absent equals empty", "", Text(), 0},
      {"same", "abc", "abc", 0},
      {"first difference decides", "abd", "abc", 1},
      {"prefix is smaller", "ab", "abc", -1},
      {"case matters", "ABC", "abc", -1},
      {"high bytes are above ASCII", "\xC8", "z", 1},
      {"high bytes compared unsigned", "\x81", "\xFE", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t order = CompareText(c.left, c.right);
    EXPECT_EQ((order > 0) - (order < 0), c.expectedSign);
  }
}

TEST(CompareTest, BytesEqualOrNot) {
  EXPECT_EQ(CompareBytes(Bytes(), Bytes(std::string_view(""))), 0);
  EXPECT_EQ(CompareBytes(Bytes(std::string_view("a\0", 2)), Bytes(std::string_view("a\0", 2))), 0);
  EXPECT_NE(CompareBytes(Bytes(std::string_view("a\0", 2)), Bytes(std::string_view("a"))), 0);
  EXPECT_NE(CompareBytes(Bytes(), Bytes(std::string_view("\0", 1))), 0);
}

TEST(BitOrTest, CombinesFlags) {
  EXPECT_EQ(BitOr(1, 2), 3);
  EXPECT_EQ(BitOr(0x100, 0x4, 0x100), 0x104);
  EXPECT_EQ(BitOr(INT32_MIN, 1), INT32_MIN + 1);
}

TEST(ArrayTest, AppendMemberGrowsTheArray) {
  TextArray array;
  EXPECT_EQ(ArraySize(array), 0);
  AppendMember(array, "a");
  AppendMember(array, "");
  EXPECT_EQ(ArraySize(array), 2);
  EXPECT_EQ(array.Member(1), Text("a"));
  EXPECT_EQ(array.Member(2), Text());
}

}  // namespace
}  // namespace joincode
