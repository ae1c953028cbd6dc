#include "text/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "text/fatal_error.h"

namespace joincode {
namespace {

TEST(TextTest, EndsAtFirstNul) {
  EXPECT_EQ(Text(std::string_view("a\0b", 3)), Text("a"));
  EXPECT_EQ(Text(std::string("a\0b", 3)).size(), 1);
  EXPECT_EQ(Text(std::string("\0b", 2)), Text());
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text(""));
}

TEST(BytesTest, KeepsNuls) {
  const Bytes bytes(std::string_view("a\0b", 3));
  EXPECT_EQ(bytes.size(), 3);
  EXPECT_EQ(ByteAt(bytes, 2), 0);
  EXPECT_EQ(ByteAt(bytes, 3), 'b');
}

TEST(BytesTest, ByteAtIsUnsigned) {
  const Bytes bytes(std::string("\xC8\xBA", 2));
  EXPECT_EQ(ByteAt(bytes, 1), 0xC8);
  EXPECT_EQ(ByteAt(bytes, 2), 0xBA);
}

TEST(TextArrayTest, MembersAreNumberedFromOne) {
  const TextArray array{"first", "", "third"};
  EXPECT_EQ(array.size(), 3);
  EXPECT_EQ(array.Member(1), Text("first"));
  EXPECT_EQ(array.Member(2), Text());
  EXPECT_EQ(array.Member(3), Text("third"));
}

TEST(TextPrintTest, EscapesBytesOutsidePrintableAscii) {
  std::ostringstream out;
  out << Text(std::string("a\xC8\"", 3)) << Bytes(std::string_view("\0z", 2));
  EXPECT_EQ(out.str(), "\"a\\xC8\\x22\"\"\\x00z\"");
}

// Reading outside 1..count ends the process with -1 (255 to the parent) after the report.
struct OutOfRangeCase {
  const char* name;
  int32_t position;
  const char* report;
};

constexpr OutOfRangeCase kOutOfRange[] = {
    {"zero", 0, "fatal error 4: "},
    {"negative", -1, "fatal error 4: "},
    {"one past the count", 3, "fatal error 1: "},
    {"far past the count", 1000, "fatal error 1: "},
};

TEST(TextArrayDeathTest, MemberOutsideTheArrayIsFatal) {
  const TextArray array{"a", "b"};
  for (const auto& c : kOutOfRange) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT((void)array.Member(c.position), ::testing::ExitedWithCode(255), c.report);
  }
}

TEST(TextArrayDeathTest, MemberOfAnEmptyArrayIsFatal) {
  const TextArray empty;
  EXPECT_EXIT((void)empty.Member(1), ::testing::ExitedWithCode(255), "fatal error 1: ");
}

TEST(BytesDeathTest, ByteOutsideTheBufferIsFatal) {
  const Bytes bytes(std::string_view("a\0", 2));
  for (const auto& c : kOutOfRange) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT((void)ByteAt(bytes, c.position), ::testing::ExitedWithCode(255), c.report);
  }
}

void WriteMarker(int32_t errorCode, const Text& message) {
  std::fprintf(stderr, "marker reporter %d [%s]\n", errorCode, message.c_str());
}

TEST(FatalErrorDeathTest, InstalledReporterGetsTheReportAndTheProcessStillEnds) {
  const Bytes bytes(std::string_view("ab", 2));
  EXPECT_EXIT(
      {
        SetFatalErrorReporter(WriteMarker);
        (void)ByteAt(bytes, 0);
      },
      ::testing::ExitedWithCode(255), "marker reporter 4 \\[.+\\]");
  EXPECT_EXIT(
      {
        SetFatalErrorReporter(WriteMarker);
        (void)TextArray{"x"}.Member(2);
      },
      ::testing::ExitedWithCode(255), "marker reporter 1 \\[.+\\]");
}

TEST(FatalErrorDeathTest, ClearingTheReporterRestoresStderr) {
  EXPECT_EXIT(
      {
        SetFatalErrorReporter(WriteMarker);
        SetFatalErrorReporter(nullptr);
        ReportFatalError(1, "plain report");
      },
      ::testing::ExitedWithCode(255), "^fatal error 1: plain report\n$");
}

// AddressSanitizer answers an impossible allocation with its own report before any new-handler
// runs.
#ifndef __SANITIZE_ADDRESS__
TEST(FatalErrorDeathTest, MemoryThatCannotBeObtainedIsFatalWithCodeZero) {
  EXPECT_EXIT(
      {
        ReportFatalErrorOnOutOfMemory();
        std::vector<char> impossible(std::vector<char>().max_size());
        std::fprintf(stderr, "allocated %zu\n", impossible.size());
      },
      ::testing::ExitedWithCode(255), "^fatal error: out of memory\n$");
}
#endif

}  // namespace
}  // namespace joincode
