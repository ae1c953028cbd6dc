// A loopback relay in front of a server that keeps the bytes each client sent, exactly as they
// crossed the wire (servers tend to tidy header values up before anyone can look at them).
//
//   WireTap tap(servicePort);  // clients connect to tap.port() instead
//   ... a request through tap.port() ...
//   tap.Sent()  // "GET /x HTTP/1.1\r\nHost: 127.0.0.1:...\r\n...\r\n\r\n"
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace joincode {

class WireTap {
 public:
  explicit WireTap(int upstreamPort);
  ~WireTap();
  WireTap(const WireTap&) = delete;
  WireTap& operator=(const WireTap&) = delete;

  // The port clients connect to; 0 if the tap could not listen.
  int port() const { return port_; }

  // Every byte clients have sent, in order of arrival. A byte is kept before it is passed on, so
  // once a client has its answer, its request is here.
  std::string Sent() const;
  void Clear();

 private:
  void Run();
  void Relay(int client);

  int upstreamPort_;
  int listener_ = -1;
  int port_ = 0;
  int stopPipe_[2] = {-1, -1};
  mutable std::mutex mutex_;
  std::string sent_;
  std::thread thread_;
  std::vector<std::thread> relays_;  // one per connection, so a kept-open one blocks no other
};

// The bodiless requests in `sent`, each as its request line and header lines in order; bytes after
// the last empty line that ends a head count as one more, unfinished request.
std::vector<std::vector<std::string>> SplitRequests(const std::string& sent);

}  // namespace joincode
