#include "text/extract.h"

#include <optional>

#include "text/cut.h"
#include "text/search.h"
#include "text/spaces.h"

namespace joincode {
namespace {

Text PrepareMarker(const Text& marker) {
  return ReplaceText(marker, kQuotePlaceholder, "\"", std::nullopt, std::nullopt, true);
}

}  // namespace

Text TextBetween(const Text& text, const Text& leftMarker, const Text& rightMarker,
                 int32_t startPosition, bool caseSensitive) {
  const Text left = PrepareMarker(leftMarker);
  const Text right = PrepareMarker(rightMarker);
  int32_t start = FindText(text, left, startPosition, !caseSensitive);
  if (start == -1) {
    return Text();
  }
  start += TextLength(left);
  // Searched from just after the left marker, so the two can neither overlap nor swap places.
  const int32_t end = FindText(text, right, start, !caseSensitive);
  if (end == -1) {
    return Text();
  }
  return TextMid(text, start, end - start);
}

Text HeaderValue(const Text& line) {
  const int32_t colon = FindText(line, ":");
  if (colon == -1) {
    return Text();
  }
  return TrimBoth(TextRight(line, TextLength(line) - colon));
}

Text CookieName(const Text& pair) {
  const int32_t equals = FindText(pair, "=");
  return TrimBoth(equals == -1 ? pair : TextLeft(pair, equals - 1));
}

}  // namespace joincode
