#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"

namespace joincode::platform {
namespace {

// The whole answer of a reading conversion, through the size query and a fitting buffer.
std::u16string Read(uint32_t codePage, const std::string& source) {
  const int32_t needed = MultiByteToWide(codePage, source.c_str(), nullptr, 0);
  std::u16string units(static_cast<size_t>(needed), u'\x1234');
  EXPECT_EQ(MultiByteToWide(codePage, source.c_str(), units.data(), needed), needed);
  return units;
}

std::string Write(uint32_t codePage, const std::u16string& source) {
  const int32_t needed = WideToMultiByte(codePage, source.c_str(), nullptr, 0);
  std::string bytes(static_cast<size_t>(needed), '#');
  EXPECT_EQ(WideToMultiByte(codePage, source.c_str(), bytes.data(), needed), needed);
  return bytes;
}

TEST(MultiByteToWideTest, ReadsUpToAndIncludingTheTerminator) {
  struct Case {
    const char* name;
    uint32_t codePage;
    std::string source;
    std::u16string units;  // terminator included
  };
  const std::vector<Case> cases = {
      {"empty text is the terminator alone", kCodePageGbk, "", std::u16string(1, u'\0')},
      {"ascii", kCodePageGbk, "ab", std::u16string(u"ab\0", 3)},
      {"gbk double-byte", kCodePageGbk, std::string("\xC8\xBA", 2), std::u16string(u"\u7FA4\0", 2)},
      {"code page 0 reads gbk", kCodePageAnsi, std::string("\xC8\xBA", 2),
       std::u16string(u"\u7FA4\0", 2)},
      {"utf-8", kCodePageUtf8, std::string("\xE7\xBE\xA4", 3), std::u16string(u"\u7FA4\0", 2)},
      {"utf-8 outside the bmp is a surrogate pair", kCodePageUtf8,
       std::string("\xF0\x9F\x98\x80", 4), std::u16string(u"\U0001F600\0", 3)},
      {"stops at the first nul", kCodePageGbk, std::string("a\0b", 3), std::u16string(u"a\0", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MultiByteToWide(c.codePage, c.source.c_str(), nullptr, 0),
              static_cast<int32_t>(c.units.size()));
    EXPECT_EQ(Read(c.codePage, c.source), c.units);
  }
}

// Unreadable input never fails and never swallows the readable bytes after it.
TEST(MultiByteToWideTest, InvalidInputReadsAsReplacementCharacters) {
  struct Case {
    const char* name;
    uint32_t codePage;
    std::string source;
    std::u16string units;
  };
  const std::vector<Case> cases = {
      {"unmapped well-formed gbk pair is one character", kCodePageGbk, std::string("\xAA\xA1z", 3),
       std::u16string(u"\uFFFDz\0", 3)},
      {"lead byte with a bad trail byte keeps the trail byte", kCodePageGbk,
       std::string("\x81\x30", 2), std::u16string(u"\uFFFD0\0", 3)},
      {"lead byte at the end", kCodePageGbk, std::string("a\xC8", 2),
       std::u16string(u"a\uFFFD\0", 3)},
      {"0xFF is no gbk byte", kCodePageGbk, std::string("\xFF\xFF", 2),
       std::u16string(u"\uFFFD\uFFFD\0", 3)},
      {"0x80 is the euro sign in this table", kCodePageGbk, std::string("\x80", 1),
       std::u16string(u"\u20AC\0", 2)},
      {"gbk bytes read as utf-8", kCodePageUtf8, std::string("\xB0\xA1", 2),
       std::u16string(u"\uFFFD\uFFFD\0", 3)},
      {"utf-8 cut off at the end", kCodePageUtf8, std::string("x\xE7\xBE", 3),
       std::u16string(u"x\uFFFD\uFFFD\0", 4)},
      {"utf-8 encoded surrogate", kCodePageUtf8, std::string("\xED\xA0\x80", 3),
       std::u16string(u"\uFFFD\uFFFD\uFFFD\0", 4)},
      {"overlong utf-8", kCodePageUtf8, std::string("\xC0\xAF!", 3),
       std::u16string(u"\uFFFD\uFFFD!\0", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.codePage, c.source), c.units);
  }
}

TEST(MultiByteToWideTest, TooSmallOutputWritesNothingAndFails) {
  std::u16string units(2, u'x');
  EXPECT_EQ(MultiByteToWide(kCodePageGbk, "abc", units.data(), 2), 0);
  EXPECT_EQ(units, u"xx");
}

TEST(MultiByteToWideTest, UnsupportedCodePageConvertsNothing) {
  std::u16string units(4, u'x');
  EXPECT_EQ(MultiByteToWide(1252, "abc", nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWide(1252, "abc", units.data(), 4), 0);
  EXPECT_EQ(units, u"xxxx");
}

TEST(WideToMultiByteTest, WritesUpToAndIncludingTheTerminator) {
  struct Case {
    const char* name;
    uint32_t codePage;
    std::u16string source;
    std::string bytes;  // terminator included
  };
  const std::vector<Case> cases = {
      {"empty", kCodePageGbk, u"", std::string(1, '\0')},
      {"gbk double-byte", kCodePageGbk, u"a\u7FA4", std::string("a\xC8\xBA\0", 4)},
      {"code page 0 writes gbk", kCodePageAnsi, u"\u7FA4", std::string("\xC8\xBA\0", 3)},
      {"utf-8", kCodePageUtf8, u"\u7FA4", std::string("\xE7\xBE\xA4\0", 4)},
      {"utf-8 from a surrogate pair", kCodePageUtf8, u"\U0001F600",
       std::string("\xF0\x9F\x98\x80\0", 5)},
      {"hangul is not in gbk", kCodePageGbk, u"\uAC00b", std::string("?b\0", 3)},
      {"replacement character is not in gbk", kCodePageGbk, u"\uFFFD", std::string("?\0", 2)},
      {"a surrogate pair is one character", kCodePageGbk, u"\U0001F600", std::string("?\0", 2)},
      {"lone high surrogate", kCodePageUtf8, std::u16string(u"\xD800z", 2), std::string("?z\0", 3)},
      {"lone low surrogate", kCodePageGbk, std::u16string(u"z\xDC00", 2), std::string("z?\0", 3)},
      {"high surrogate at the end", kCodePageUtf8, std::u16string(u"z\xD800", 2),
       std::string("z?\0", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WideToMultiByte(c.codePage, c.source.c_str(), nullptr, 0),
              static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(Write(c.codePage, c.source), c.bytes);
  }
}

TEST(WideToMultiByteTest, TooSmallOutputWritesNothingAndFails) {
  std::string bytes(3, '#');
  EXPECT_EQ(WideToMultiByte(kCodePageUtf8, u"\u7FA4", bytes.data(), 3), 0);
  EXPECT_EQ(bytes, "###");
}

TEST(WideToMultiByteTest, UnsupportedCodePageConvertsNothing) {
  EXPECT_EQ(WideToMultiByte(1252, u"abc", nullptr, 0), 0);
}

// The conversions keep state between calls; an error in one call must not leak into the next.
TEST(CodePageTest, ConversionAfterAnErrorStartsClean) {
  EXPECT_EQ(Read(kCodePageUtf8, std::string("\xE7\xBE", 2)), std::u16string(u"\uFFFD\uFFFD\0", 3));
  EXPECT_EQ(Read(kCodePageUtf8, std::string("\xA4", 1)), std::u16string(u"\uFFFD\0", 2));
  EXPECT_EQ(Read(kCodePageGbk, std::string("\xC8", 1)), std::u16string(u"\uFFFD\0", 2));
  EXPECT_EQ(Read(kCodePageGbk, std::string("\xBA", 1)), std::u16string(u"\uFFFD\0", 2));
}

// Longer than one internal chunk, so the conversion has to go on after filling it.
TEST(CodePageTest, LongTextConvertsWhole) {
  std::string gbk;
  std::u16string units;
  std::string writtenBack;  // what the units give in GBK again: "?" for each U+FFFD
  for (int i = 0; i < 5000; ++i) {
    gbk += "\xC8\xBA";
    units += u'\u7FA4';
    writtenBack += "\xC8\xBA";
    if (i % 1000 == 0) {
      gbk += '\xFF';
      units += u'\uFFFD';
      writtenBack += '?';
    }
  }
  EXPECT_EQ(Read(kCodePageGbk, gbk), units + u'\0');
  EXPECT_EQ(Write(kCodePageGbk, units), writtenBack + '\0');
}

}  // namespace
}  // namespace joincode::platform
