#include "text/text.h"

#include <gtest/gtest.h>

namespace joincode {
namespace {

TEST(TextTest, EndsAtFirstNul) {
  EXPECT_EQ(Text(std::string_view("a\0b", 3)), Text("a"));
  EXPECT_EQ(Text(std::string("a\0b", 3)).size(), 1);
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text(""));
}

TEST(BytesTest, KeepsNuls) { EXPECT_EQ(Bytes(std::string_view("a\0b", 3)).size(), 3); }

}  // namespace
}  // namespace joincode
