// Holds TextBetween, HeaderValue and CookieName against what the markers, colon and equals sign
// found by a reference scan say the result must be.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/extract.h"

using namespace joincode;
using namespace fuzzref;

namespace {

// Trimmed and cut out of `from`: no outer spaces (unless a lone high byte ended the input, which
// trimming drops while keeping the spaces before it).
void CheckTrimmedPart(std::string_view result, std::string_view from, const char* routine) {
  FUZZ_CHECK(from.find(result) != std::string_view::npos, routine);
  auto chars = Chars(result);
  if (!chars.empty()) {
    FUZZ_CHECK(!IsSpaceChar(chars.front()), routine);
    auto original = Chars(from);
    FUZZ_CHECK(IsLoneHigh(original.back()) || !IsSpaceChar(chars.back()), routine);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  int routine = in.ConsumeIntegralInRange(0, 2);
  bool caseSensitive = in.ConsumeBool();
  int32_t start =
      in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(-2, 40);
  Text left(in.ConsumeRandomLengthString(10));
  Text right(in.ConsumeRandomLengthString(10));
  Text text(in.ConsumeRemainingBytesAsString());
  std::string_view s = text.view();
  ShowArguments() = [&] {
    Show("routine", routine);
    Show("caseSensitive", caseSensitive);
    Show("start", start);
    Show("left", left.view());
    Show("right", right.view());
    Show("text", s);
  };

  switch (routine) {
    case 0: {
      Text between = TextBetween(text, left, right, start, caseSensitive);
      FUZZ_CHECK(s.find(between.view()) != std::string_view::npos,
                 "TextBetween result is not part of the text");
      FUZZ_CHECK(between.view() == RefBetween(s, left.view(), right.view(), start, caseSensitive),
                 "TextBetween differs from the markers found by the reference scan");
      break;
    }
    case 1: {
      Text value = HeaderValue(text);
      CheckTrimmedPart(value.view(), s, "HeaderValue is not a trimmed part of the line");
      FUZZ_CHECK(value.view() == RefHeaderValue(s), "HeaderValue differs from the reference");
      break;
    }
    default: {
      Text name = CookieName(text);
      CheckTrimmedPart(name.view(), s, "CookieName is not a trimmed part of the pair");
      FUZZ_CHECK(name.view() == RefCookieName(s), "CookieName differs from the reference");
      break;
    }
  }
  return 0;
}
