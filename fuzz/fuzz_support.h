// What the fuzz targets share: a property check that makes libFuzzer keep the input, and plain
// byte-by-byte reference versions of the text routines to hold the real ones against.
//
//   FUZZ_CHECK(found == RefFind(text, pattern, 0, false), "FindText disagrees with the reference");
//
// The references work on std::string bytes and step characters the simple way: a byte 0x80-0xFF
// takes the next byte along, a high byte at the very end stands alone.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace fuzzref {

// Prints the arguments of the call under test when a check fails; set once per input.
inline std::function<void()>& ShowArguments() {
  static std::function<void()> show;
  return show;
}

// A value's bytes, printable ASCII as is and everything else as \xHH.
inline std::string Escaped(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return "\"" + out + "\"";
}

inline void Show(const char* name, std::string_view bytes) {
  std::fprintf(stderr, "  %s = %s (%zu bytes)\n", name, Escaped(bytes).c_str(), bytes.size());
}

inline void Show(const char* name, std::optional<int64_t> value) {
  if (value) {
    std::fprintf(stderr, "  %s = %lld\n", name, static_cast<long long>(*value));
  } else {
    std::fprintf(stderr, "  %s absent\n", name);
  }
}

}  // namespace fuzzref

// Aborts with the failed property named, so libFuzzer reports the input as a finding.
#define FUZZ_CHECK(condition, what)                                                                \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "property violated: %s\n  check: %s\n  at %s:%d\n", (what), #condition, \
                   __FILE__, __LINE__);                                                            \
      if (fuzzref::ShowArguments()) {                                                              \
        fuzzref::ShowArguments()();                                                                \
      }                                                                                            \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

// The references are not what is being explored: keeping coverage feedback out of them saves
// most of the time per input and keeps the corpus about the routines under test.
#pragma clang attribute push(__attribute__((no_sanitize("coverage"))), apply_to = function)

namespace fuzzref {

inline bool IsHigh(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

// Length of the character at offset p, stepping from wherever the scan began.
inline size_t CharLength(std::string_view s, size_t p) {
  return IsHigh(s[p]) && p + 1 < s.size() ? 2 : 1;
}

// Offsets of the character starts of s, stepping from offset `from`.
inline std::vector<size_t> CharStarts(std::string_view s, size_t from = 0) {
  std::vector<size_t> starts;
  for (size_t p = from; p < s.size(); p += CharLength(s, p)) {
    starts.push_back(p);
  }
  return starts;
}

inline bool IsCharStart(std::string_view s, size_t offset, size_t from = 0) {
  auto starts = CharStarts(s, from);
  return std::find(starts.begin(), starts.end(), offset) != starts.end();
}

inline char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Whether the bytes of s from offset p on equal `pattern`; the caller makes sure they exist.
inline bool SameAt(std::string_view s, size_t p, std::string_view pattern, bool foldCase) {
  const char* here = s.data() + p;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (foldCase ? Fold(here[i]) != Fold(pattern[i]) : here[i] != pattern[i]) {
      return false;
    }
  }
  return true;
}

inline bool SameBytes(std::string_view a, std::string_view b, bool foldCase) {
  return a.size() == b.size() && SameAt(a, 0, b, foldCase);
}

// Text keeps only the bytes before the first NUL.
inline std::string AsText(std::string_view s) {
  return std::string(s.substr(0, s.find('\0')));
}

// 1-based position of the first match at a character start at or after `start`, or -1.
inline int64_t RefFind(std::string_view s, std::string_view pattern, std::optional<int64_t> start,
                       bool foldCase) {
  int64_t from = start ? std::max<int64_t>(*start - 1, 0) : 0;
  if (from >= static_cast<int64_t>(s.size())) {
    return -1;
  }
  if (pattern.empty()) {
    return 1;
  }
  for (auto p = static_cast<size_t>(from); p < s.size(); p += CharLength(s, p)) {
    if (s.size() - p < pattern.size()) {
      return -1;
    }
    if (SameAt(s, p, pattern, foldCase)) {
      return static_cast<int64_t>(p) + 1;
    }
  }
  return -1;
}

// 1-based position of the last match at a character start that lies wholly within the region.
inline int64_t RefFindReverse(std::string_view s, std::string_view pattern,
                              std::optional<int64_t> start, bool foldCase) {
  int64_t size = static_cast<int64_t>(s.size());
  int64_t region = start ? std::clamp<int64_t>(*start - 1, 0, size) : size;
  if (pattern.empty()) {
    return region > 0 ? 1 : -1;
  }
  int64_t found = -1;
  for (size_t p : CharStarts(s)) {
    if (static_cast<int64_t>(p + pattern.size()) <= region && SameAt(s, p, pattern, foldCase)) {
      found = static_cast<int64_t>(p) + 1;
    }
  }
  return found;
}

inline std::string RefReplace(std::string_view s, std::string_view pattern,
                              std::string_view replacement, std::optional<int64_t> start,
                              std::optional<int64_t> count, bool caseSensitive) {
  size_t from = start ? static_cast<size_t>(std::max<int64_t>(*start - 1, 0)) : 0;
  int64_t limit = count && *count >= 0 ? *count : -1;
  if (s.empty() || pattern.empty() || from >= s.size() || limit == 0) {
    return std::string(s);
  }
  std::string out(s.substr(0, from));
  int64_t done = 0;
  size_t p = from;
  while (p < s.size()) {
    if (s.size() - p < pattern.size()) {
      out += s.substr(p);
      break;
    }
    if (SameBytes(s.substr(p, pattern.size()), pattern, !caseSensitive)) {
      out += replacement;
      p += pattern.size();
      if (++done == limit) {
        out += s.substr(p);
        break;
      }
      continue;
    }
    size_t length = CharLength(s, p);
    // A lone high byte at the end, reached by a one-byte pattern that it does not equal, goes.
    bool loneHighAtEnd = length == 1 && IsHigh(s[p]) && p + 1 == s.size();
    if (!(loneHighAtEnd && pattern.size() == 1)) {
      out += s.substr(p, length);
    }
    p += length;
  }
  return out;
}

inline std::vector<std::string> RefSplit(std::string_view s, std::string_view delimiter,
                                         std::optional<int64_t> maxCount) {
  std::vector<std::string> members;
  int64_t limit = maxCount ? std::max<int64_t>(*maxCount, 0) : -1;
  if (s.empty() || limit == 0) {
    return members;
  }
  if (delimiter.empty()) {
    members.emplace_back(s);
    return members;
  }
  size_t begin = 0;
  size_t p = 0;
  while (p < s.size()) {
    if (s.size() - p >= delimiter.size() && SameAt(s, p, delimiter, false)) {
      members.emplace_back(s.substr(begin, p - begin));
      p += delimiter.size();
      begin = p;
      if (static_cast<int64_t>(members.size()) == limit) {
        return members;
      }
      continue;
    }
    p += CharLength(s, p);
  }
  if (begin < s.size()) {
    members.emplace_back(s.substr(begin));
  }
  return members;
}

// The characters of s, stepped from its first byte.
inline std::vector<std::string_view> Chars(std::string_view s) {
  std::vector<std::string_view> chars;
  for (size_t p : CharStarts(s)) {
    chars.push_back(s.substr(p, CharLength(s, p)));
  }
  return chars;
}

inline bool IsSpaceChar(std::string_view c) {
  return c == " " || c == "\xA1\xA1";
}
inline bool IsLoneHigh(std::string_view c) {
  return c.size() == 1 && IsHigh(c[0]);
}

inline std::string RefTrim(std::string_view s) {
  auto chars = Chars(s);
  size_t first = 0;
  while (first < chars.size() && IsSpaceChar(chars[first])) {
    ++first;
  }
  size_t last = chars.size();
  if (last > first && IsLoneHigh(chars[last - 1])) {
    --last;  // dropped, and the spaces before it stay
  } else {
    while (last > first && IsSpaceChar(chars[last - 1])) {
      --last;
    }
  }
  std::string out;
  for (size_t i = first; i < last; ++i) {
    out += chars[i];
  }
  return out;
}

inline std::string RefRemoveSpaces(std::string_view s) {
  std::string out;
  for (std::string_view c : Chars(s)) {
    if (!IsSpaceChar(c) && !IsLoneHigh(c)) {
      out += c;
    }
  }
  return out;
}

inline std::string RefLower(std::string_view s) {
  std::string out;
  for (std::string_view c : Chars(s)) {
    out += c.size() == 1 ? std::string(1, Fold(c[0])) : std::string(c);
  }
  return out;
}

inline int32_t RefTextToInt(std::string_view s) {
  std::string ascii;
  for (std::string_view c : Chars(s)) {
    auto second = c.size() == 2 ? static_cast<unsigned char>(c[1]) : 0;
    if (c.size() == 2 && static_cast<unsigned char>(c[0]) == 0xA3 && second >= 0xA1 &&
        second <= 0xFE) {
      ascii += static_cast<char>(second - 0x80);
    } else if (c == "\xA1\xA1") {
      ascii += ' ';
    } else {
      ascii += c;
    }
  }
  size_t p = 0;
  while (p < ascii.size() && (ascii[p] == ' ' || (ascii[p] >= 0x09 && ascii[p] <= 0x0D))) {
    ++p;
  }
  bool negative = false;
  if (p < ascii.size() && (ascii[p] == '+' || ascii[p] == '-')) {
    negative = ascii[p] == '-';
    ++p;
  }
  uint32_t value = 0;
  for (; p < ascii.size() && ascii[p] >= '0' && ascii[p] <= '9'; ++p) {
    value = value * 10u + static_cast<uint32_t>(ascii[p] - '0');
  }
  return static_cast<int32_t>(negative ? 0u - value : value);
}

// The bytes between the first left marker at or after `start` and the first right marker after
// it; the placeholder "#" D2 FD BA C5 in a marker stands for a double quote.
inline std::string RefBetween(std::string_view s, std::string_view left, std::string_view right,
                              int64_t start, bool caseSensitive) {
  static constexpr std::string_view kQuote("#\xD2\xFD\xBA\xC5", 5);
  std::string l = RefReplace(left, kQuote, "\"", std::nullopt, std::nullopt, true);
  std::string r = RefReplace(right, kQuote, "\"", std::nullopt, std::nullopt, true);
  int64_t p = RefFind(s, l, start, !caseSensitive);
  if (p == -1) {
    return {};
  }
  p += static_cast<int64_t>(l.size());
  int64_t q = RefFind(s, r, p, !caseSensitive);
  // An empty right marker is found at position 1, before p: a count below 1 cuts nothing.
  if (q == -1 || q <= p) {
    return {};
  }
  return std::string(s.substr(static_cast<size_t>(p - 1), static_cast<size_t>(q - p)));
}

inline std::string RefHeaderValue(std::string_view line) {
  int64_t p = RefFind(line, ":", std::nullopt, false);
  return p == -1 ? std::string() : RefTrim(line.substr(static_cast<size_t>(p)));
}

inline std::string RefCookieName(std::string_view pair) {
  int64_t p = RefFind(pair, "=", std::nullopt, false);
  return RefTrim(p == -1 ? pair : pair.substr(0, static_cast<size_t>(p - 1)));
}

// The merged cookie pairs, received ones first; both texts lose their spaces on the way.
inline std::vector<std::string> RefMergedPairs(std::string_view sent, std::string_view received) {
  std::vector<std::string> pairs = RefSplit(RefRemoveSpaces(received), ";", std::nullopt);
  auto has = [&pairs](const std::string& name) {
    return std::any_of(pairs.begin(), pairs.end(),
                       [&name](const std::string& pair) { return RefCookieName(pair) == name; });
  };
  for (const std::string& pair : RefSplit(RefRemoveSpaces(sent), ";", std::nullopt)) {
    if (!has(RefCookieName(pair))) {
      pairs.push_back(pair);
    }
  }
  std::vector<std::string> kept;
  for (const std::string& pair : pairs) {
    if (!(pair.size() >= 8 && pair.substr(pair.size() - 8) == "=deleted")) {
      kept.push_back(pair);
    }
  }
  return kept;
}

inline std::string Join(const std::vector<std::string>& members, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < members.size(); ++i) {
    if (i > 0) {
      out += separator;
    }
    out += members[i];
  }
  return out;
}

}  // namespace fuzzref

#pragma clang attribute pop
