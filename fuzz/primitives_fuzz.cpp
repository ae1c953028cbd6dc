// Holds the character-stepping primitives against plain reference scans: searching, replacing,
// splitting, trimming, space removal and integer reading.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/convert.h"
#include "text/search.h"
#include "text/spaces.h"

using namespace joincode;
using namespace fuzzref;

namespace {

// Mostly positions in and around the text, sometimes absent, sometimes any 32-bit value.
std::optional<int32_t> Position(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return std::nullopt;
    case 1:
      return in.ConsumeIntegral<int32_t>();
    default:
      return in.ConsumeIntegralInRange<int32_t>(-3, 40);
  }
}

void CheckFind(const Text& text, const Text& pattern, std::optional<int32_t> start, bool fold) {
  std::string_view s = text.view();
  std::string_view m = pattern.view();
  int32_t found = FindText(text, pattern, start, fold);
  // An empty pattern yields 1 wherever the search began, so only a real match has a place.
  if (found != -1 && !m.empty()) {
    FUZZ_CHECK(found >= 1 && found <= text.size(), "FindText position outside the text");
    size_t p = static_cast<size_t>(found - 1);
    int64_t from = start ? std::max<int64_t>(int64_t{*start} - 1, 0) : 0;
    FUZZ_CHECK(static_cast<int64_t>(p) >= from, "FindText match before the start position");
    FUZZ_CHECK(p + m.size() <= s.size(), "FindText match runs past the end");
    FUZZ_CHECK(SameBytes(s.substr(p, m.size()), m, fold), "FindText position lacks the pattern");
    FUZZ_CHECK(IsCharStart(s, p, static_cast<size_t>(from)),
               "FindText match starts on a second byte");
  }
  FUZZ_CHECK(found == RefFind(s, m, start, fold), "FindText differs from the reference scan");
}

void CheckFindReverse(const Text& text, const Text& pattern, std::optional<int32_t> start,
                      bool fold) {
  std::string_view s = text.view();
  std::string_view m = pattern.view();
  int32_t found = FindTextReverse(text, pattern, start, fold);
  if (found != -1 && !m.empty()) {
    size_t p = static_cast<size_t>(found - 1);
    int64_t region =
        start ? std::clamp<int64_t>(int64_t{*start} - 1, 0, text.size()) : int64_t{text.size()};
    FUZZ_CHECK(found >= 1 && static_cast<int64_t>(p + m.size()) <= region,
               "FindTextReverse match outside the region");
    FUZZ_CHECK(SameBytes(s.substr(p, m.size()), m, fold),
               "FindTextReverse position lacks the pattern");
    FUZZ_CHECK(IsCharStart(s, p), "FindTextReverse match starts on a second byte");
  }
  FUZZ_CHECK(found == RefFindReverse(s, m, start, fold),
             "FindTextReverse differs from the reference scan");
}

void CheckReplace(const Text& text, const Text& pattern, const Text& replacement,
                  std::optional<int32_t> start, std::optional<int32_t> count, bool caseSensitive) {
  Text result = ReplaceText(text, pattern, replacement, start, count, caseSensitive);
  std::string expected = AsText(
      RefReplace(text.view(), pattern.view(), replacement.view(), start, count, caseSensitive));
  FUZZ_CHECK(result.view() == expected, "ReplaceText differs from the reference replace");
}

void CheckSplit(const Text& text, const Text& delimiter, std::optional<int32_t> maxCount) {
  std::string_view s = text.view();
  std::string_view d = delimiter.view();
  TextArray members = SplitText(text, delimiter, maxCount);
  if (s.empty() || (maxCount && *maxCount <= 0)) {
    FUZZ_CHECK(members.size() == 0, "SplitText made members of nothing");
    return;
  }
  if (d.empty()) {
    FUZZ_CHECK(members.size() == 1 && members.Member(1) == text,
               "SplitText with an empty delimiter is not the whole text");
    return;
  }
  bool limited = maxCount && members.size() == *maxCount;
  FUZZ_CHECK(!maxCount || members.size() <= *maxCount, "SplitText made more than maxCount");
  std::string joined;
  for (int32_t i = 1; i <= members.size(); ++i) {
    std::string_view member = members.Member(i).view();
    for (size_t p : CharStarts(member)) {
      FUZZ_CHECK(member.size() - p < d.size() || member.substr(p, d.size()) != d,
                 "SplitText member holds the delimiter at a character start");
    }
    joined += std::string(i > 1 ? d : std::string_view()) + std::string(member);
  }
  // The members and their delimiters give back the text up to where the split stopped.
  FUZZ_CHECK(s.substr(0, joined.size()) == joined, "SplitText members do not rebuild the text");
  std::string_view rest = s.substr(joined.size());
  FUZZ_CHECK(rest.empty() || rest.substr(0, d.size()) == d,
             "SplitText skipped bytes that are no delimiter");
  FUZZ_CHECK(limited || rest.empty() || rest == d, "SplitText dropped text without a limit");
  std::vector<std::string> expected = RefSplit(s, d, maxCount);
  FUZZ_CHECK(static_cast<size_t>(members.size()) == expected.size(),
             "SplitText member count differs from the reference");
  for (int32_t i = 1; i <= members.size(); ++i) {
    FUZZ_CHECK(members.Member(i).view() == expected[static_cast<size_t>(i - 1)],
               "SplitText member differs from the reference");
  }
}

void CheckSpaces(const Text& text) {
  Text trimmed = TrimBoth(text);
  auto chars = Chars(trimmed.view());
  if (!chars.empty()) {
    FUZZ_CHECK(!IsSpaceChar(chars.front()), "TrimBoth left a leading space");
    auto original = Chars(text.view());
    if (!IsLoneHigh(original.back())) {
      FUZZ_CHECK(!IsSpaceChar(chars.back()), "TrimBoth left a trailing space");
    }
  }
  FUZZ_CHECK(trimmed.view() == RefTrim(text.view()), "TrimBoth differs from the reference");

  Text removed = RemoveSpaces(text);
  for (std::string_view c : Chars(removed.view())) {
    FUZZ_CHECK(!IsSpaceChar(c), "RemoveSpaces left a space at a character start");
  }
  FUZZ_CHECK(removed.view() == RefRemoveSpaces(text.view()),
             "RemoveSpaces differs from the reference");

  FUZZ_CHECK(ToLower(text).view() == RefLower(text.view()), "ToLower differs from the reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  int routine = in.ConsumeIntegralInRange(0, 5);
  bool flag = in.ConsumeBool();
  std::optional<int32_t> start = Position(in);
  std::optional<int32_t> count = Position(in);
  Text pattern(in.ConsumeRandomLengthString(12));
  Text replacement(in.ConsumeRandomLengthString(12));
  Text text(in.ConsumeRemainingBytesAsString());
  ShowArguments() = [&] {
    Show("routine", routine);
    Show("flag", flag);
    Show("start", start);
    Show("count", count);
    Show("pattern", pattern.view());
    Show("replacement", replacement.view());
    Show("text", text.view());
  };

  switch (routine) {
    case 0:
      CheckFind(text, pattern, start, flag);
      break;
    case 1:
      CheckFindReverse(text, pattern, start, flag);
      break;
    case 2:
      CheckReplace(text, pattern, replacement, start, count, flag);
      break;
    case 3:
      CheckSplit(text, pattern, count);
      break;
    case 4:
      CheckSpaces(text);
      break;
    default:
      FUZZ_CHECK(TextToInt(text) == RefTextToInt(text.view()),
                 "TextToInt differs from the reference");
      break;
  }
  return 0;
}
