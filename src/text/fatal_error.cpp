#include "text/fatal_error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace joincode {
namespace {

std::atomic<FatalErrorReporter> currentReporter{nullptr};

void ReportOutOfMemory() {
  // Nothing here may allocate: the reporter gets a literal.
  ReportFatalError(0, "out of memory");
}

}  // namespace

void WriteFatalErrorToStderr(int32_t errorCode, const Text& message) {
  if (errorCode != 0) {
    std::fprintf(stderr, "fatal error %d: %s\n", errorCode, message.c_str());
  } else {
    std::fprintf(stderr, "fatal error: %s\n", message.c_str());
  }
  std::fflush(stderr);
}

void ReportFatalError(int32_t errorCode, const Text& message) {
  const FatalErrorReporter reporter = currentReporter.load();
  // A second failure inside the reporter (a check in its own code) falls back to stderr.
  static std::atomic<bool> reporting{false};
  if (reporter != nullptr && !reporting.exchange(true)) {
    reporter(errorCode, message);
  } else {
    WriteFatalErrorToStderr(errorCode, message);
  }
  std::fflush(nullptr);
  std::_Exit(-1);
}

FatalErrorReporter SetFatalErrorReporter(FatalErrorReporter reporter) {
  return currentReporter.exchange(reporter);
}

void ReportFatalErrorOnOutOfMemory() { std::set_new_handler(ReportOutOfMemory); }

}  // namespace joincode
