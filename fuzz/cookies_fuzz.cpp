// Holds MergeCookies to the form of a merged cookie text and to a reference merge, and HasCookie to
// a plain name scan.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "text/search.h"
#include "text/text.h"
#include "web/cookies.h"

using namespace joincode;
using namespace fuzzref;

namespace {

bool EndsDeleted(std::string_view pair) {
  return pair.size() >= 8 && pair.substr(pair.size() - 8) == "=deleted";
}

void CheckMerge(const Text& sentOnEntry, const Text& receivedOnEntry) {
  Text sent = sentOnEntry;
  Text received = receivedOnEntry;
  Text merged = MergeCookies(sent, received);

  FUZZ_CHECK(merged == sent, "MergeCookies result is not the new sent text");
  FUZZ_CHECK(received.view() == RefRemoveSpaces(receivedOnEntry.view()),
             "MergeCookies did not write the received text back without spaces");

  // The pairs never hold "; " at a character start, so splitting there gives them back.
  std::vector<std::string> pairs = RefSplit(merged.view(), "; ", std::nullopt);
  for (const std::string& pair : pairs) {
    for (std::string_view c : Chars(pair)) {
      FUZZ_CHECK(!IsSpaceChar(c) && c != ";", "merged cookie pair holds a space or a ';'");
    }
    FUZZ_CHECK(!EndsDeleted(pair), "merged cookie text kept a deleted pair");
  }
  // Every received pair that is not a deletion comes out unchanged, whatever was sent.
  for (const std::string& pair : RefSplit(received.view(), ";", std::nullopt)) {
    if (!pair.empty() && !EndsDeleted(pair)) {
      FUZZ_CHECK(std::find(pairs.begin(), pairs.end(), pair) != pairs.end(),
                 "a received cookie pair is missing from the merge");
    }
  }
  FUZZ_CHECK(
      merged.view() == Join(RefMergedPairs(sentOnEntry.view(), receivedOnEntry.view()), "; "),
      "MergeCookies differs from the reference merge");
}

void CheckHasCookie(const Text& list, const Text& name) {
  TextArray pairs = SplitText(list, ";");
  bool expected = false;
  for (const Text& pair : pairs) {
    expected = expected || RefCookieName(pair.view()) == name.view();
  }
  FUZZ_CHECK(HasCookie(pairs, name) == expected, "HasCookie differs from a plain name scan");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  bool merge = in.ConsumeIntegralInRange(0, 3) != 0;
  Text first(in.ConsumeRandomLengthString(64));
  Text second(in.ConsumeRemainingBytesAsString());
  ShowArguments() = [&] {
    Show(merge ? "sentCookies" : "name", first.view());
    Show(merge ? "receivedCookies" : "list", second.view());
  };
  if (merge) {
    CheckMerge(first, second);
  } else {
    CheckHasCookie(second, first);
  }
  return 0;
}
