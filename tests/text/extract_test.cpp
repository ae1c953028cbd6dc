#include "text/extract.h"
#include "text/convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace joincode {
namespace {

const Text kQuote = kQuotePlaceholder;

TEST(ExtractTest, QuotePlaceholderIsTheGbkBytes) {
  EXPECT_EQ(kQuote, Text(std::string("\x23\xD2\xFD\xBA\xC5", 5)));
}

TEST(TextBetweenTest, CutsBetweenMarkers) {
  struct Case {
    const char* name;
    Text text;
    Text left;
    Text right;
    Text expected;
  };
  const Text keyAnswer = "{\"data\":[{\"key\":\"K1\"}]}}";
  const std::vector<Case> cases = {
      {"group key", keyAnswer, "\"key\":\"", "\"}]}}", "K1"},
      {"first of two left markers counts", "\"key\":\"K1\"}]}} \"key\":\"K2\"}]}}", "\"key\":\"",
       "\"}]}}", "K1"},
      {"param value", "x.u0026param=P_v1\";y", "u0026param=", "\";", "P_v1"},
      {"quote placeholder in the markers", "{\"key\":\"K1\"}]}}",
       Concat(kQuote, "key", kQuote, ":", kQuote), Concat(kQuote, "}]}}"), "K1"},
      {"placeholder alone on both sides", "say \"hi\" and \"bye\"", kQuote, kQuote, "hi"},
      {"placeholder in the text is plain bytes", Concat("a", kQuote, "b", kQuote, "c"), kQuote,
       kQuote, ""},
      {"placeholder in the text matched literally", Concat("a", kQuote, "b\"c"), "a", "\"",
       Concat(kQuote, "b")},
      {"second left marker before the right one is kept", "<a<b>", "<", ">", "a<b"},
      {"right marker only before the left one", "]x[y", "[", "]", ""},
      {"right marker directly after the left one", "[]", "[", "]", ""},
      {"left marker ends the text", "abc[", "[", "]", ""},
      {"no left marker", "abc]", "[", "]", ""},
      {"no right marker", "[abc", "[", "]", ""},
      {"right marker searched after the left one", "a]b]", "a]", "]", "b"},
      {"scheme in capitals", "HTTP://Srv.Example/x", "http://", "/", "Srv.Example"},
      {"left marker in other capitals", "user-agent: UA\r\n", "User-Agent:", "\r\n", " UA"},
      {"cookie line", "Set-Cookie: sid=1; path=/", "Set-Cookie:", ";", " sid=1"},
      {"empty text", "", "[", "]", ""},
      {"gbk value", std::string("[\xC8\xBA]", 4), "[", "]", std::string("\xC8\xBA", 2)},
      // "]" (0x5D) can be the second byte of a GBK character; that one is no marker.
      {"right marker byte inside a gbk character", std::string("[\x81]x]", 5), "[", "]",
       std::string("\x81]x", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextBetween(c.text, c.left, c.right), c.expected);
  }
}

TEST(TextBetweenTest, StartPositionAndCaseMode) {
  struct Case {
    const char* name;
    Text text;
    int32_t start;
    bool caseSensitive;
    Text expected;
  };
  const Text text = "<A>1</A><a>2</a>";
  const std::vector<Case> cases = {
      {"start 0 is the first byte", text, 0, false, "1"},
      {"negative start is the first byte", text, -5, false, "1"},
      {"start after the first marker", text, 2, false, "2"},
      {"start on the second marker", text, 9, false, "2"},
      {"start beyond the text", text, 17, false, ""},
      {"case-sensitive left marker", text, 1, true, "2"},
      {"case-sensitive right marker", "<a>1</A>2</a>", 1, true, "1</A>2"},
      {"case-insensitive right marker", "<a>1</A>2</a>", 1, false, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextBetween(c.text, "<a>", "</a", c.start, c.caseSensitive), c.expected);
  }
}

TEST(HeaderValueTest, AfterTheFirstColonTrimmed) {
  struct Case {
    const char* name;
    Text line;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"location with a port", "Location: http://host:8080/a?b=c:d", "http://host:8080/a?b=c:d"},
      {"ends in a colon", "Location:", ""},
      {"ends in a colon and spaces", "Location:   ", ""},
      {"no colon", "Location is missing", ""},
      {"empty line", "", ""},
      {"no space after the colon", "Server:x", "x"},
      {"full-width spaces trimmed", std::string("K:\xA1\xA1v w\xA1\xA1 ", 10), "v w"},
      {"tab and cr stay", "K:\tv\r", "\tv\r"},
      {"colon first", ":v", "v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HeaderValue(c.line), c.expected);
  }
}

TEST(CookieNameTest, BeforeTheFirstEqualsTrimmed) {
  struct Case {
    const char* name;
    Text pair;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"name and value", "sid=abc", "sid"},
      {"leading equals", "=abc", ""},
      {"no equals", "  flag ", "flag"},
      {"several equals", " k =a=b=c", "k"},
      {"empty pair", "", ""},
      {"empty value", "sid=", "sid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CookieName(c.pair), c.expected);
  }
}

}  // namespace
}  // namespace joincode
