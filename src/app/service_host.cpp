#include "app/service_host.h"

#include <cstdlib>

namespace joincode {
namespace {

Text& CurrentHost() {
  static Text host = ServiceHostFrom(std::getenv("JOINCODE_SERVICE_HOST"));
  return host;
}

// Read during start-up, so that a change of the environment later on has no effect.
[[maybe_unused]] const bool kReadAtStartUp = (CurrentHost(), true);

}  // namespace

Text ServiceHostFrom(const char* value) {
  Text host(value);
  return host.empty() ? Text(kDefaultServiceHost) : host;
}

Text ServiceHost() {
  return CurrentHost();
}

void SetServiceHost(const Text& host) {
  CurrentHost() = host;
}

}  // namespace joincode
