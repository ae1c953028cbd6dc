// group_service [--port N] [--dump-headers]
//
// Serves the sample groups on 127.0.0.1, on port N or on a free port when N is 0 or left out, and
// prints "listening on 127.0.0.1:<port>". Logs each request line on stdout; with --dump-headers
// also the header lines received. SIGTERM or SIGINT stops it with exit code 0.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "group_service.h"

namespace {

struct Options {
  int port = 0;
  bool dumpHeaders = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--dump-headers") {
      options.dumpHeaders = true;
    } else if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      long port = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || port < 0 || port > 65535)
        return false;
      options.port = static_cast<int>(port);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << "usage: group_service [--port N] [--dump-headers]\n";
    return 2;
  }

  // Blocked before any thread starts, so that every thread inherits the mask and only the
  // watcher below receives the two signals.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  httplib::Server server;
  joincode::tools::AddGroupServiceRoutes(server, nullptr);

  std::mutex outputMutex;
  server.set_logger([&](const httplib::Request& request, const httplib::Response& response) {
    joincode::tools::RequestRecord record = joincode::tools::RecordOf(request);
    std::lock_guard<std::mutex> lock(outputMutex);
    std::cout << record.RequestLine() << " -> " << response.status << "\n";
    if (options.dumpHeaders) {
      for (const std::string& line : record.headerLines)
        std::cout << "  " << line << "\n";
      std::cout << "  (body: " << record.body.size() << " bytes)\n";
    }
    std::cout << std::flush;
  });

  int port = options.port;
  bool bound = port == 0 ? (port = server.bind_to_any_port("127.0.0.1")) > 0
                         : server.bind_to_port("127.0.0.1", port);
  if (!bound) {
    std::cerr << "group_service: cannot listen on 127.0.0.1:" << options.port << "\n";
    return 1;
  }
  std::cout << "listening on 127.0.0.1:" << port << std::endl;

  std::thread watcher([&server, &stopSignals] {
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
  });

  server.listen_after_bind();
  // Wakes the watcher if the server stopped on its own; a signal left pending is dropped at exit.
  kill(getpid(), SIGTERM);
  watcher.join();
  std::cout << "stopped" << std::endl;
  return 0;
}
