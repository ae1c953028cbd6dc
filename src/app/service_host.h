// Where the group-contact service lives: the public host, or the one named by the environment
// variable JOINCODE_SERVICE_HOST (a host or host:port), read once when the program starts.
//
//   JOINCODE_SERVICE_HOST=127.0.0.1:8080 joincode   // ServiceHost() == "127.0.0.1:8080"
//   joincode                                        // ServiceHost() == "shang.qq.com"
#pragma once

#include "text/text.h"

namespace joincode {

inline constexpr char kDefaultServiceHost[] = "shang.qq.com";

// The host (and port, if any) that both requests of a Generate click go to.
[[nodiscard]] Text ServiceHost();

// The host the environment asks for: JOINCODE_SERVICE_HOST when set and not empty, otherwise
// kDefaultServiceHost. `value` is the variable's value, or null when it is not set.
[[nodiscard]] Text ServiceHostFrom(const char* value);

// Points later Generate clicks at `host` instead (tests use a loopback service on a free port).
void SetServiceHost(const Text& host);

}  // namespace joincode
