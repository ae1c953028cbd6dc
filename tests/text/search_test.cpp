#include "text/search.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace joincode {
namespace {

// GBK pairs whose second byte is an ASCII letter or a colon, so a one-byte ASCII pattern meets it.
const std::string kPairA(
    "\xB0"
    "a",
    2);
const std::string kPairColon("\x81:", 2);
const std::string kQun("\xC8\xBA", 2);
const std::string kHao("\xBA\xC5", 2);
const std::string kYin("\xD2\xFD", 2);

std::vector<std::string> Members(const TextArray& array) {
  std::vector<std::string> members;
  for (const Text& member : array) {
    members.push_back(member.str());
  }
  return members;
}

// Straightforward models that step character by character, to cross-check the fast scanners.
namespace model {

size_t Step(std::string_view text, size_t at) {
  return static_cast<unsigned char>(text[at]) >= 0x80 && at + 1 < text.size() ? 2 : 1;
}

bool SameAt(std::string_view text, size_t at, std::string_view pattern, bool fold) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    char a = text[at + i];
    char b = pattern[i];
    if (fold) {
      a = (a >= 'A' && a <= 'Z') ? static_cast<char>(a + 32) : a;
      b = (b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : b;
    }
    if (a != b) {
      return false;
    }
  }
  return true;
}

size_t StartOffset(std::optional<int32_t> start) {
  return !start || *start < 1 ? 0 : static_cast<size_t>(*start) - 1;
}

int32_t Find(std::string_view text, std::string_view pattern, std::optional<int32_t> start,
             bool fold) {
  const size_t s = StartOffset(start);
  if (s >= text.size()) {
    return -1;
  }
  if (pattern.empty()) {
    return 1;
  }
  for (size_t at = s; at + pattern.size() <= text.size(); at += Step(text, at)) {
    if (SameAt(text, at, pattern, fold)) {
      return static_cast<int32_t>(at) + 1;
    }
  }
  return -1;
}

int32_t FindReverse(std::string_view text, std::string_view pattern, std::optional<int32_t> start,
                    bool fold) {
  size_t r = text.size();
  if (start) {
    r = *start <= 1 ? 0 : std::min(r, static_cast<size_t>(*start) - 1);
  }
  if (pattern.empty()) {
    return r > 0 ? 1 : -1;
  }
  int32_t last = -1;
  for (size_t at = 0; at + pattern.size() <= r; at += Step(text, at)) {
    if (SameAt(text, at, pattern, fold)) {
      last = static_cast<int32_t>(at) + 1;
    }
  }
  return last;
}

std::string Replace(std::string_view text, std::string_view pattern, std::string_view with,
                    std::optional<int32_t> start, std::optional<int32_t> count,
                    bool caseSensitive) {
  const size_t s = StartOffset(start);
  const int64_t n = count && *count >= 0 ? *count : -1;
  if (text.empty() || pattern.empty() || s >= text.size() || n == 0) {
    return std::string(text);
  }
  std::string out(text.substr(0, s));
  int64_t made = 0;
  size_t at = s;
  while (at + pattern.size() <= text.size()) {
    if (SameAt(text, at, pattern, !caseSensitive)) {
      out += with;
      at += pattern.size();
      if (++made == n) {
        break;
      }
      continue;
    }
    const size_t step = Step(text, at);
    const bool loneFinalHigh =
        static_cast<unsigned char>(text[at]) >= 0x80 && at + 1 == text.size();
    if (!loneFinalHigh) {
      out += text.substr(at, step);
    }
    at += step;
  }
  if (at < text.size()) {
    out += text.substr(at);
  }
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view delimiter,
                               std::optional<int32_t> maxCount) {
  std::vector<std::string> members;
  const int64_t limit = maxCount ? std::max(*maxCount, 0) : -1;
  if (text.empty() || limit == 0) {
    return members;
  }
  if (delimiter.empty()) {
    return {std::string(text)};
  }
  size_t begin = 0;
  size_t at = 0;
  while (at + delimiter.size() <= text.size()) {
    if (SameAt(text, at, delimiter, false)) {
      members.emplace_back(text.substr(begin, at - begin));
      at += delimiter.size();
      begin = at;
      if (static_cast<int64_t>(members.size()) == limit) {
        return members;
      }
      continue;
    }
    at += Step(text, at);
  }
  if (begin < text.size()) {
    members.emplace_back(text.substr(begin));
  }
  return members;
}

}  // namespace model

// ---- FindText

struct FindCase {
  const char* name;
  Text text;
  Text pattern;
  std::optional<int32_t> start;
  bool caseInsensitive;
  int32_t expected;
};

TEST(FindTextTest, Finds) {
  const FindCase cases[] = {
      {"first of several", "a:b:c", ":", std::nullopt, false, 2},
      {"start 0 searches from the first byte", "a:b:c", ":", 0, false, 2},
      {"start 1 searches from the first byte", "a:b:c", ":", 1, false, 2},
      {"start -1 searches from the first byte", "a:b:c", ":", -1, false, 2},
      {"position counts from the first byte", "a:b:c", ":", 3, false, 4},
      {"start on the occurrence", "a:b:c", ":", 4, false, 4},
      {"start one past the length", "a:b:c", ":", 6, false, -1},
      {"start far past the length", "a:b:c", ":", INT32_MAX, false, -1},
      {"absent", "a:b:c", ";", std::nullopt, false, -1},
      {"pattern longer than the text", "ab", "abc", std::nullopt, false, -1},
      {"pattern at the very end", "abcdef", "ef", std::nullopt, false, 5},
      {"whole text", "abc", "abc", std::nullopt, false, 1},
      {"empty pattern", "abc", "", std::nullopt, false, 1},
      {"empty pattern with start 3 still yields 1", "abc", "", 3, false, 1},
      {"empty pattern past the end", "abc", "", 4, false, -1},
      {"empty pattern in empty text", "", "", std::nullopt, false, -1},
      {"empty text", "", "a", std::nullopt, false, -1},
      {"case matters by default", "User-agent: x", "User-Agent:", std::nullopt, false, -1},
      {"case folded on request", "Host: h\r\nuSER-aGENT: x", "User-Agent:", std::nullopt, true, 10},
      {"folding only touches A-Z", "[x]", "{X}", std::nullopt, true, -1},
      {"folded search from a start", "AbAb", "ab", 2, true, 3},
      {"double-byte pattern", "x" + kQun + kHao, kHao, std::nullopt, false, 4},
      {"second byte never matches", kPairA + "b", "a", std::nullopt, false, -1},
      {"second byte never matches, folded", kPairA + "b", "A", std::nullopt, true, -1},
      {"second byte skipped, later one found", kPairA + "a", "a", std::nullopt, false, 3},
      {"double-byte pattern across two characters", kQun + kHao,
       Text(kQun.substr(1) + kHao.substr(0, 1)), std::nullopt, false, -1},
      {"start on a second byte makes it a character start", kPairA + "b", "a", 2, false, 2},
      {"lone high byte at the end", "ab\xC8", "\xC8", std::nullopt, false, 3},
      {"UTF-8 text steps by pairs too",
       "\xE4\xB8\xAD"
       "a",
       "a", std::nullopt, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindText(c.text, c.pattern, c.start, c.caseInsensitive), c.expected);
  }
}

TEST(FindTextReverseTest, Finds) {
  const FindCase cases[] = {
      {"second of two colons", "a:b:c", ":", std::nullopt, false, 4},
      {"only one", "host:80", ":", std::nullopt, false, 5},
      {"absent", "host", ":", std::nullopt, false, -1},
      {"overlapping occurrences", "aaa", "aa", std::nullopt, false, 2},
      {"region cut before the second", "a:b:c", ":", 4, false, 2},
      {"occurrence must lie wholly inside", "abcd", "cd", 4, false, -1},
      {"occurrence ending at the region's end", "abcd", "cd", 5, false, 3},
      {"start 1 leaves no region", "a:b", ":", 1, false, -1},
      {"start 0 leaves no region", "a:b", ":", 0, false, -1},
      {"start -1 leaves no region", "a:b", ":", -1, false, -1},
      {"start beyond the length", "a:b", ":", 50, false, 2},
      {"empty pattern", "abc", "", std::nullopt, false, 1},
      {"empty pattern, empty region", "abc", "", 1, false, -1},
      {"empty text", "", ":", std::nullopt, false, -1},
      {"case folded", "aXbx", "x", std::nullopt, true, 4},
      {"case folded finds upper case", "xaX", "x", std::nullopt, true, 3},
      {"second byte never matches", "a:b" + kPairColon, ":", std::nullopt, false, 2},
      {"high-byte pattern on second bytes", kHao + kQun, "\xC5\xC8", std::nullopt, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindTextReverse(c.text, c.pattern, c.start, c.caseInsensitive), c.expected);
  }
}

// ---- ReplaceText

TEST(ReplaceTextTest, Replaces) {
  struct ReplaceCase {
    const char* name;
    Text text;
    Text pattern;
    Text replacement;
    std::optional<int32_t> start;
    std::optional<int32_t> count;
    bool caseSensitive;
    Text expected;
  };
  const std::string quoteMarker = "#" + kYin + kHao;
  const ReplaceCase cases[] = {
      {"every occurrence", "x#y#", "#", "--", {}, {}, true, "x--y--"},
      {"marker for a double quote",
       "a=" + quoteMarker + "v" + quoteMarker,
       quoteMarker,
       "\"",
       {},
       {},
       true,
       "a=\"v\""},
      {"text without the marker unchanged",
       "plain text",
       quoteMarker,
       "\"",
       {},
       {},
       true,
       "plain text"},
      {"empty replacement deletes", "a-b-c", "-", "", {}, {}, true, "abc"},
      {"not overlapping, left to right", "aaaa", "aa", "b", {}, {}, true, "bb"},
      {"odd overlap leaves the remainder", "aaa", "aa", "b", {}, {}, true, "ba"},
      {"replacement never scanned again", "ab", "a", "aa", {}, {}, true, "aab"},
      {"from a start position", "a-b-c", "-", "+", 3, {}, true, "a-b+c"},
      {"start 0 is the first byte", "-a", "-", "+", 0, {}, true, "+a"},
      {"start -1 is the first byte", "-a", "-", "+", -1, {}, true, "+a"},
      {"start beyond the text copies", "a-b", "-", "+", 4, {}, true, "a-b"},
      {"count limits", "a-b-c-d", "-", "+", {}, 2, true, "a+b+c-d"},
      {"count 0 copies", "a-b", "-", "+", {}, 0, true, "a-b"},
      {"negative count means all", "a-b-c", "-", "+", {}, -3, true, "a+b+c"},
      {"empty text", "", "-", "+", {}, {}, true, ""},
      {"empty pattern copies", "a-b", "", "+", {}, {}, true, "a-b"},
      {"case folded when not sensitive", "Ab-aB", "ab", "x", {}, {}, false, "x-x"},
      {"case kept when sensitive", "Ab-ab", "ab", "x", {}, {}, true, "Ab-x"},
      {"second byte never matches", kPairA + "a", "a", "!", {}, {}, true, kPairA + "!"},
      {"double-byte pattern", kQun + "x" + kQun, kQun, "q", {}, {}, true, "qxq"},
      {"lone final high byte dropped by a one-byte pattern",
       "a-b\xC8",
       "-",
       "+",
       {},
       {},
       true,
       "a+b"},
      {"lone final high byte matched by a one-byte pattern",
       "ab\xC8",
       "\xC8",
       "+",
       {},
       {},
       true,
       "ab+"},
      {"lone final high byte kept by a longer pattern",
       "a-b\xC8",
       "-b",
       "+",
       {},
       {},
       true,
       "a+\xC8"},
      {"lone final high byte kept once the count is reached",
       "a-b\xC8",
       "-",
       "+",
       {},
       1,
       true,
       "a+b\xC8"},
      {"second byte at the end is not lone", "a" + kQun, "-", "+", {}, {}, true, "a" + kQun},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplaceText(c.text, c.pattern, c.replacement, c.start, c.count, c.caseSensitive),
              c.expected);
  }
}

// ---- SplitText

TEST(SplitTextTest, Splits) {
  struct SplitCase {
    const char* name;
    Text text;
    Text delimiter;
    std::optional<int32_t> maxCount;
    std::vector<std::string> expected;
  };
  const SplitCase cases[] = {
      {"doubled and trailing delimiters", "P;;Q;", ";", {}, {"P", "", "Q"}},
      {"header ending in an empty line",
       "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n",
       "\r\n",
       {},
       {"HTTP/1.1 200 OK", "A: 1", ""}},
      {"leading delimiter", ".a.b", ".", {}, {"", "a", "b"}},
      {"no delimiter", "abc", ".", {}, {"abc"}},
      {"text equal to the delimiter", ";", ";", {}, {""}},
      {"empty text", "", ";", {}, {}},
      {"empty delimiter", "a;b", "", {}, {"a;b"}},
      {"maxCount limits and drops the rest", "a;b;c;d", ";", 2, {"a", "b"}},
      {"maxCount equal to the members", "a;b", ";", 2, {"a", "b"}},
      {"maxCount 0", "a;b", ";", 0, {}},
      {"negative maxCount", "a;b", ";", -1, {}},
      {"exact, no case folding", "aXbxc", "x", {}, {"aXb", "c"}},
      {"second byte never matches", kPairA + "a" + kPairA, "a", {}, {kPairA, kPairA}},
      {"lone final high byte kept", "a;\xC8", ";", {}, {"a", "\xC8"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Members(SplitText(c.text, c.delimiter, c.maxCount)), c.expected);
  }
}

TEST(SplitTextTest, DelimiterDefaultsToComma) {
  EXPECT_EQ(Members(SplitText("a,b;c")), (std::vector<std::string>{"a", "b;c"}));
}

// ---- Cross-checks against the models on many short texts

class SearchModelTest : public ::testing::Test {
 protected:
  // High bytes, their likely second bytes, letters of both cases and the delimiters.
  std::string RandomBytes(size_t maxLength) {
    static constexpr char kAlphabet[] = {'a', 'A', 'b', ':', ';', '\xA1', '\xB0', '\xC8', '\xFE'};
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 1);
    std::string bytes(length(random_), '\0');
    for (char& byte : bytes) {
      byte = kAlphabet[pick(random_)];
    }
    return bytes;
  }
  std::optional<int32_t> RandomNumber(int32_t low, int32_t high) {
    if (std::uniform_int_distribution<int>(0, 4)(random_) == 0) {
      return std::nullopt;
    }
    return std::uniform_int_distribution<int32_t>(low, high)(random_);
  }
  bool RandomFlag() { return std::uniform_int_distribution<int>(0, 1)(random_) == 1; }

  static constexpr int kRounds = 20000;
  std::mt19937 random_{20240611};
};

TEST_F(SearchModelTest, FindTextAgreesWithModel) {
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = RandomBytes(14);
    const std::string pattern = RandomBytes(3);
    const auto start = RandomNumber(-2, static_cast<int32_t>(text.size()) + 2);
    const bool fold = RandomFlag();
    SCOPED_TRACE(::testing::Message() << Text(text) << " / " << Text(pattern) << " from "
                                      << start.value_or(999) << (fold ? " folded" : ""));
    ASSERT_EQ(FindText(text, pattern, start, fold), model::Find(text, pattern, start, fold));
  }
}

TEST_F(SearchModelTest, FindTextReverseAgreesWithModel) {
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = RandomBytes(14);
    const std::string pattern = RandomBytes(3);
    const auto start = RandomNumber(-2, static_cast<int32_t>(text.size()) + 2);
    const bool fold = RandomFlag();
    SCOPED_TRACE(::testing::Message() << Text(text) << " / " << Text(pattern) << " before "
                                      << start.value_or(999) << (fold ? " folded" : ""));
    ASSERT_EQ(FindTextReverse(text, pattern, start, fold),
              model::FindReverse(text, pattern, start, fold));
  }
}

TEST_F(SearchModelTest, ReplaceTextAgreesWithModel) {
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = RandomBytes(14);
    const std::string pattern = RandomBytes(3);
    const std::string replacement = RandomBytes(3);
    const auto start = RandomNumber(-2, static_cast<int32_t>(text.size()) + 2);
    const auto count = RandomNumber(-1, 3);
    const bool caseSensitive = RandomFlag();
    SCOPED_TRACE(::testing::Message()
                 << Text(text) << " / " << Text(pattern) << " -> " << Text(replacement) << " from "
                 << start.value_or(999) << " count " << count.value_or(999)
                 << (caseSensitive ? "" : " folded"));
    ASSERT_EQ(ReplaceText(text, pattern, replacement, start, count, caseSensitive),
              Text(model::Replace(text, pattern, replacement, start, count, caseSensitive)));
  }
}

TEST_F(SearchModelTest, SplitTextAgreesWithModel) {
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = RandomBytes(14);
    const std::string delimiter = RandomBytes(2);
    const auto maxCount = RandomNumber(-1, 4);
    SCOPED_TRACE(::testing::Message()
                 << Text(text) << " / " << Text(delimiter) << " max " << maxCount.value_or(999));
    ASSERT_EQ(Members(SplitText(text, delimiter, maxCount)),
              model::Split(text, delimiter, maxCount));
  }
}

}  // namespace
}  // namespace joincode
