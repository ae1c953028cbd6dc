#include "web/cookies.h"

#include "text/convert.h"
#include "text/cut.h"
#include "text/extract.h"
#include "text/search.h"
#include "text/spaces.h"

namespace joincode {
namespace {

constexpr char kDeletedMarker[] = "=deleted";

}  // namespace

Text MergeCookies(Text& sentCookies, Text& receivedCookies) {
  sentCookies = RemoveSpaces(sentCookies);
  receivedCookies = RemoveSpaces(receivedCookies);
  const TextArray sent = SplitText(sentCookies, ";");
  TextArray merged = SplitText(receivedCookies, ";");
  // `merged` grows in the loop: of several sent pairs with one name only the first is kept.
  for (const Text& pair : sent) {
    if (!HasCookie(merged, CookieName(pair))) {
      AppendMember(merged, pair);
    }
  }
  Text joined;
  for (const Text& pair : merged) {
    if (CompareText(TextRight(pair, TextLength(kDeletedMarker)), kDeletedMarker) != 0) {
      joined = Concat(joined, pair, "; ");
    }
  }
  sentCookies = TextLeft(joined, TextLength(joined) - 2);
  return sentCookies;
}

bool HasCookie(const TextArray& pairs, const Text& name) {
  for (const Text& pair : pairs) {
    if (CompareText(CookieName(pair), name) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace joincode
