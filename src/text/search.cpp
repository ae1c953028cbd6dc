#include "text/search.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "text/char_step.h"
#include "text/fatal_error.h"

namespace joincode {
namespace {

using char_step::CharStarts;
using char_step::FindAtCharStart;

constexpr size_t kNotFound = std::string_view::npos;

// Folding keeps every byte's high bit, so character starts in the copy are those of the original.
std::string Folded(std::string_view bytes) {
  std::string folded(bytes);
  for (char& byte : folded) {
    byte = char_step::FoldCase(byte);
  }
  return folded;
}

// Absent, 0 and negative start positions all mean the first byte.
size_t StartOffset(std::optional<int32_t> startPosition) {
  if (!startPosition || *startPosition < 1) {
    return 0;
  }
  return static_cast<size_t>(*startPosition) - 1;
}

int32_t PositionOf(size_t offset) {
  return offset == kNotFound ? -1 : static_cast<int32_t>(offset) + 1;
}

// Offset of the last match at a character start of a scan begun at offset 0, or kNotFound.
size_t FindLast(std::string_view bytes, std::string_view pattern) {
  CharStarts starts(bytes, 0);
  size_t last = kNotFound;
  for (size_t at = FindAtCharStart(bytes, pattern, 0, starts); at != kNotFound;
       at = FindAtCharStart(bytes, pattern, at + 1, starts)) {
    last = at;
  }
  return last;
}

}  // namespace

int32_t FindText(const Text& text, const Text& pattern, std::optional<int32_t> startPosition,
                 bool caseInsensitive) {
  const std::string_view bytes = text.view();
  const size_t start = StartOffset(startPosition);
  if (start >= bytes.size()) {
    return -1;
  }
  if (pattern.empty()) {
    return 1;
  }
  if (caseInsensitive) {
    // The scan begins at `start`, which becomes offset 0 of the folded copy.
    const std::string region = Folded(bytes.substr(start));
    const std::string needle = Folded(pattern.view());
    CharStarts starts(region, 0);
    const size_t at = FindAtCharStart(region, needle, 0, starts);
    return at == kNotFound ? -1 : PositionOf(at + start);
  }
  CharStarts starts(bytes, start);
  return PositionOf(FindAtCharStart(bytes, pattern.view(), start, starts));
}

int32_t FindTextReverse(const Text& text, const Text& pattern, std::optional<int32_t> startPosition,
                        bool caseInsensitive) {
  size_t regionLength = static_cast<size_t>(text.size());
  if (startPosition) {
    regionLength =
        *startPosition <= 1 ? 0 : std::min(regionLength, static_cast<size_t>(*startPosition) - 1);
  }
  const std::string_view region = text.view().substr(0, regionLength);
  if (pattern.empty()) {
    return region.empty() ? -1 : 1;
  }
  if (caseInsensitive) {
    return PositionOf(FindLast(Folded(region), Folded(pattern.view())));
  }
  return PositionOf(FindLast(region, pattern.view()));
}

Text ReplaceText(const Text& text, const Text& pattern, const Text& replacement,
                 std::optional<int32_t> startPosition, std::optional<int32_t> replaceCount,
                 bool caseSensitive) {
  const std::string_view bytes = text.view();
  const size_t start = StartOffset(startPosition);
  const int64_t limit = replaceCount && *replaceCount >= 0 ? *replaceCount : -1;
  if (bytes.empty() || pattern.empty() || start >= bytes.size() || limit == 0) {
    return text;
  }

  std::string foldedText;
  std::string foldedPattern;
  std::string_view haystack = bytes;
  std::string_view needle = pattern.view();
  if (!caseSensitive) {
    foldedText = Folded(bytes);
    foldedPattern = Folded(needle);
    haystack = foldedText;
    needle = foldedPattern;
  }

  std::string result;
  result.reserve(bytes.size());
  CharStarts starts(haystack, start);
  size_t copiedUpTo = 0;
  int64_t made = 0;
  for (size_t at = FindAtCharStart(haystack, needle, start, starts); at != kNotFound;
       at = FindAtCharStart(haystack, needle, copiedUpTo, starts)) {
    result.append(bytes.substr(copiedUpTo, at - copiedUpTo));
    result.append(replacement.view());
    copiedUpTo = at + needle.size();
    // The scan goes on after the occurrence, whatever the bytes there are.
    starts.Restart(copiedUpTo);
    if (++made == limit) {
      break;
    }
  }

  size_t end = bytes.size();
  // A one-byte pattern is compared against a lone final high byte that the scan reaches; that
  // byte is then lost rather than copied (a replace limit stops the scan before it).
  if (made != limit && needle.size() == 1 && copiedUpTo < end &&
      char_step::IsHigh(bytes[end - 1]) && starts.IsStart(end - 1)) {
    --end;
  }
  if (copiedUpTo < end) {
    result.append(bytes.substr(copiedUpTo, end - copiedUpTo));
  }
  if (result.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    ReportFatalError(0, "replaced text is longer than 2147483647 bytes");
  }
  return Text(std::move(result));
}

TextArray SplitText(const Text& text, const Text& delimiter, std::optional<int32_t> maxCount) {
  TextArray members;
  const std::string_view bytes = text.view();
  const std::string_view needle = delimiter.view();
  const int64_t limit = maxCount ? std::max<int64_t>(*maxCount, 0) : -1;
  if (bytes.empty() || limit == 0) {
    return members;
  }
  if (needle.empty()) {
    members.Append(text);
    return members;
  }

  CharStarts starts(bytes, 0);
  size_t memberStart = 0;
  for (size_t at = FindAtCharStart(bytes, needle, 0, starts); at != kNotFound;
       at = FindAtCharStart(bytes, needle, memberStart, starts)) {
    members.Append(Text(bytes.substr(memberStart, at - memberStart)));
    memberStart = at + needle.size();
    starts.Restart(memberStart);
    if (members.size() == limit) {
      return members;
    }
  }
  if (memberStart < bytes.size()) {
    members.Append(Text(bytes.substr(memberStart)));
  }
  return members;
}

}  // namespace joincode
