// A loopback HTTP server that misbehaves on purpose: each connection plays a script of raw steps
// (send bytes, send them one at a time, pause, stay silent, stream forever, reset, ...) and every
// byte the client sent is kept for the test to inspect.
//
//   HostileServer server({Send("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n"), Send("half"),
//                         Reset(std::chrono::milliseconds(300))});
//   Bytes body = WebRequest(server.Url("/x"));   // "half"
//   server.Requests()[0];                        // "GET /x HTTP/1.1\r\nHost: ..."
//
// Everything is bounded: a step never waits or streams past its own limit, each connection is
// served on its own thread, the server takes at most kMaxConnections connections and shuts down
// with the object.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace joincode::testing {

struct Step {
  enum class Kind {
    kSend,        // bytes at once
    kSendSlowly,  // bytes one at a time, `delay` after each
    kPause,       // nothing for `delay`
    kStaySilent,  // nothing until the client goes away (at most `delay`)
    kEndless,     // bytes again and again until the client goes away (at most `limit` bytes)
    kReset,       // after `delay`, an abortive close (RST)
    kClose,       // after `delay`, an orderly close without waiting for the client
  };
  Kind kind = Kind::kSend;
  std::string bytes;
  std::chrono::milliseconds delay{0};
  int64_t limit = 0;
};

Step Send(std::string bytes);
Step SendSlowly(std::string bytes, std::chrono::milliseconds perByte);
Step Pause(std::chrono::milliseconds delay);
Step StaySilent(std::chrono::milliseconds atMost = std::chrono::seconds(10));
Step Endless(std::string block, int64_t atMostBytes = int64_t{64} << 20);
Step Reset(std::chrono::milliseconds after = std::chrono::milliseconds(0));
Step Close(std::chrono::milliseconds after = std::chrono::milliseconds(0));

using Script = std::vector<Step>;

// Chooses the script of connection `index` (0-based) from the request head it sent; with
// `readRequestFirst` false the request is not awaited and `request` is empty.
using Director = std::function<Script(int index, const std::string& request)>;

class HostileServer {
 public:
  static constexpr int kMaxConnections = 64;

  // Plays `script` on every connection, after reading the request.
  explicit HostileServer(Script script, bool readRequestFirst = true);
  explicit HostileServer(Director director, bool readRequestFirst = true);
  ~HostileServer();
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  int port() const { return port_; }
  bool ok() const { return port_ > 0; }
  // "http://127.0.0.1:<port>" + pathAndQuery.
  std::string Url(std::string_view pathAndQuery) const;
  // The bytes received on each connection so far, in the order the connections came.
  std::vector<std::string> Requests() const;
  int Connections() const;

 private:
  void AcceptLoop();
  void Serve(int index, int fd);
  void Record(int index, std::string_view bytes);

  Director director_;
  bool readRequestFirst_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<std::string> requests_;
};

// The request line and header lines of a recorded request, without the blank line.
std::string RequestHead(const std::string& request);

}  // namespace joincode::testing
