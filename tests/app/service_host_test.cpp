// Which host the workflow's two requests go to.
#include "app/service_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace joincode {
namespace {

// What the environment held when the process started, taken before any test can change it.
const char* const kAtStart = std::getenv("JOINCODE_SERVICE_HOST");
const std::string kHostAtStart = kAtStart == nullptr ? "" : kAtStart;
const bool kWasSet = kAtStart != nullptr;

TEST(ServiceHostFromTest, EnvironmentValueReplacesThePublicHost) {
  struct Case {
    const char* name;
    const char* value;
    Text host;
  };
  const Case cases[] = {
      {"not set", nullptr, "shang.qq.com"},
      {"set but empty", "", "shang.qq.com"},
      {"host and port", "127.0.0.1:8080", "127.0.0.1:8080"},
      {"host alone", "groups.example", "groups.example"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ServiceHostFrom(c.value), c.host);
  }
}

TEST(ServiceHostTest, ReadOnceAtStartUpAndReplaceableAfterwards) {
  const Text atStart = ServiceHostFrom(kWasSet ? kHostAtStart.c_str() : nullptr);
  // A later change of the environment is not seen.
  ASSERT_EQ(setenv("JOINCODE_SERVICE_HOST", "changed.example:81", 1), 0);
  EXPECT_EQ(ServiceHost(), atStart);

  SetServiceHost("127.0.0.1:5555");
  EXPECT_EQ(ServiceHost(), "127.0.0.1:5555");
  SetServiceHost(atStart);
  EXPECT_EQ(ServiceHost(), atStart);
}

}  // namespace
}  // namespace joincode
