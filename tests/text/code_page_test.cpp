#include "text/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace joincode {
namespace {

Bytes Raw(std::string_view bytes) {
  return Bytes(bytes);
}

TEST(ToWideTextTest, UnitsLowByteFirstWithZeroUnit) {
  struct Case {
    const char* name;
    Text text;
    uint32_t codePage;
    Bytes wide;
  };
  const std::vector<Case> cases = {
      {"empty text gives two zero bytes", "", 65001, Raw(std::string_view("\0\0", 2))},
      {"empty text as gbk", "", 936, Raw(std::string_view("\0\0", 2))},
      {"ascii", "Ab", 65001, Raw(std::string_view("A\0b\0\0\0", 6))},
      {"gbk character", std::string("\xC8\xBA", 2), 936, Raw(std::string_view("\xA4\x7F\0\0", 4))},
      // Three UTF-8 bytes read as GBK are two characters, so one unit more than needed is made;
      // it stays zero.
      {"sized in gbk, unused unit stays zero", std::string("\xE7\xBE\xA4", 3), 65001,
       Raw(std::string_view("\xA4\x7F\0\0\0\0", 6))},
      // GBK pairs these four bytes into two characters; as UTF-8 each is one U+FFFD, so the
      // buffer sized in GBK is too small and grows rather than losing the text.
      {"grows when the code page needs more units", std::string("\xB0\xA1\xB0\xA1", 4), 65001,
       Raw(std::string_view("\xFD\xFF\xFD\xFF\xFD\xFF\xFD\xFF\0\0", 10))},
      {"code page 0 reads gbk", std::string("\xC8\xBA", 2), 0,
       Raw(std::string_view("\xA4\x7F\0\0", 4))},
      {"unsupported code page gives only zero units", "ab", 1252,
       Raw(std::string_view("\0\0\0\0\0\0", 6))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToWideText(c.text, c.codePage), c.wide);
  }
}

TEST(ToWideTextTest, DefaultCodePageIsUtf8) {
  EXPECT_EQ(ToWideText(std::string("\xE7\xBE\xA4", 3)), ToWideText("\xE7\xBE\xA4", 65001));
  EXPECT_NE(ToWideText(std::string("\xE7\xBE\xA4", 3)), ToWideText("\xE7\xBE\xA4", 936));
}

TEST(FromWideTextTest, UnitsUpToTheFirstZeroUnit) {
  struct Case {
    const char* name;
    Bytes wide;
    uint32_t codePage;
    Text text;
  };
  const std::vector<Case> cases = {
      {"two zero bytes give the empty text", Raw(std::string_view("\0\0", 2)), 936, ""},
      {"empty bytes give the empty text", Bytes(), 936, ""},
      {"gbk", Raw(std::string_view("a\0\xA4\x7F\0\0", 6)), 936, std::string("a\xC8\xBA", 3)},
      {"code page 0 writes gbk", Raw(std::string_view("\xA4\x7F\0\0", 4)), 0,
       std::string("\xC8\xBA", 2)},
      {"utf-8", Raw(std::string_view("\xA4\x7F\0\0", 4)), 65001, std::string("\xE7\xBE\xA4", 3)},
      {"units after the zero unit are ignored", Raw(std::string_view("A\0\0\0B\0", 6)), 936, "A"},
      {"no zero unit: read to the end", Raw(std::string_view("\xA4\x7F", 2)), 936,
       std::string("\xC8\xBA", 2)},
      {"odd last byte is ignored", Raw(std::string_view("A\0B", 3)), 936, "A"},
      {"single byte is no unit", Raw(std::string_view("A", 1)), 936, ""},
      // Each "?" counts one byte in GBK, each U+FFFD three in UTF-8: more than twice the size.
      {"grows beyond twice the gbk size", Raw(std::string_view("\xFD\xFF\xFD\xFF\xFD\xFF\0\0", 8)),
       65001, std::string("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 9)},
      {"characters outside gbk become question marks", Raw(std::string_view("\x00\xAC\0\0", 4)),
       936, "?"},
      {"unsupported code page gives the empty text", Raw(std::string_view("A\0\0\0", 4)), 1252, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FromWideText(c.wide, c.codePage), c.text);
  }
}

TEST(FromWideTextTest, DefaultCodePageIsAnsi) {
  const Bytes wide(std::string_view("\xA4\x7F\0\0", 4));
  EXPECT_EQ(FromWideText(wide), FromWideText(wide, 936));
  EXPECT_NE(FromWideText(wide), FromWideText(wide, 65001));
}

TEST(GbkToUtf8Test, ConvertsOrReplaces) {
  struct Case {
    const char* name;
    Text gbk;
    Text utf8;
  };
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"ascii unchanged", "group 6986280", "group 6986280"},
      {"qun", std::string("\xC8\xBA", 2), std::string("\xE7\xBE\xA4", 3)},
      {"full-width space", std::string("\xA1\xA1", 2), std::string("\xE3\x80\x80", 3)},
      {"quote placeholder", std::string("#\xD2\xFD\xBA\xC5", 5),
       std::string("#\xE5\xBC\x95\xE5\x8F\xB7", 7)},
      {"lone lead byte at the end", std::string("a\xC8", 2), std::string("a\xEF\xBF\xBD", 4)},
      {"unmapped user-defined code", std::string("\xAA\xA1", 2), std::string("\xEF\xBF\xBD", 3)},
      {"run of bytes that are no gbk", std::string("\xFF\xFF\xFF", 3),
       std::string("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 9)},
      {"bad trail byte keeps the next character", std::string("\x81\x30\xC8\xBA", 4),
       std::string("\xEF\xBF\xBD"
                   "0\xE7\xBE\xA4",
                   7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8);
  }
}

// Every double-byte GBK code that has a character survives GBK -> UTF-8 -> UTF-16 -> GBK. glibc's
// table has 21791 of them: the 21886 codes of GBK less 95 that it leaves unmapped (FE50-FEA0, the
// euro sign A2E3, A8BF and A989-A995). Also unmapped: the user-defined areas AAA1-AFFE, F8A1-FEFE
// and A140-A7A0, and the empty cells of the symbol rows.
TEST(GbkToUtf8Test, EveryMappedDoubleByteCodeRoundTrips) {
  constexpr int kMappedCodes = 21791;
  const Text replacement = std::string("\xEF\xBF\xBD", 3);
  int mapped = 0;
  int unmapped = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) {
        continue;
      }
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const Text utf8 = GbkToUtf8(code);
      if (utf8 == replacement) {
        ++unmapped;
        continue;
      }
      ++mapped;
      const Text back = FromWideText(ToWideText(utf8, 65001), 936);
      if (back != Text(code)) {
        ADD_FAILURE() << "code " << Text(code) << " came back as " << back;
      }
    }
  }
  EXPECT_EQ(mapped, kMappedCodes);
  EXPECT_EQ(mapped + unmapped, 126 * 190);
}

}  // namespace
}  // namespace joincode
