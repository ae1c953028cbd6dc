#include "wire_tap.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback_listener.h"

namespace joincode {
namespace {

bool SendAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    ssize_t sent = send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (sent <= 0)
      return false;
    data += sent;
    size -= sent;
  }
  return true;
}

}  // namespace

WireTap::WireTap(int upstreamPort) : upstreamPort_(upstreamPort) {
  if (pipe(stopPipe_) != 0)
    return;
  const test_support::LoopbackListener listener = test_support::ListenOnLoopback(16);
  listener_ = listener.fd;
  if (listener_ < 0)
    return;
  port_ = listener.port;
  thread_ = std::thread([this] { Run(); });
}

WireTap::~WireTap() {
  if (stopPipe_[1] >= 0) {
    (void)!write(stopPipe_[1], "x", 1);
  }
  if (thread_.joinable())
    thread_.join();
  for (std::thread& relay : relays_)
    relay.join();
  for (int fd : {listener_, stopPipe_[0], stopPipe_[1]}) {
    if (fd >= 0)
      close(fd);
  }
}

std::string WireTap::Sent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sent_;
}

void WireTap::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  sent_.clear();
}

void WireTap::Run() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 || fds[1].revents != 0)
      return;
    int client = accept(listener_, nullptr, nullptr);
    if (client >= 0) {
      relays_.emplace_back([this, client] {
        Relay(client);
        close(client);
      });
    }
  }
}

void WireTap::Relay(int client) {
  int upstream = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = test_support::LoopbackAddress(upstreamPort_);
  if (connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(upstream);
    return;
  }
  char buffer[4096];
  for (bool open = true; open;) {
    pollfd fds[3] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 3, -1) < 0 || fds[2].revents != 0)
      break;
    if (fds[0].revents != 0) {
      ssize_t got = recv(client, buffer, sizeof buffer, 0);
      if (got > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        sent_.append(buffer, static_cast<size_t>(got));
      }
      open = got > 0 && SendAll(upstream, buffer, got);
    }
    if (open && fds[1].revents != 0) {
      ssize_t got = recv(upstream, buffer, sizeof buffer, 0);
      open = got > 0 && SendAll(client, buffer, got);
    }
  }
  close(upstream);
}

std::vector<std::vector<std::string>> SplitRequests(const std::string& sent) {
  std::vector<std::vector<std::string>> requests;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < sent.size()) {
    size_t end = sent.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(sent.substr(start));
      break;
    }
    if (end == start) {
      requests.push_back(std::move(lines));
      lines.clear();
    } else {
      lines.push_back(sent.substr(start, end - start));
    }
    start = end + 2;
  }
  if (!lines.empty())
    requests.push_back(std::move(lines));
  return requests;
}

}  // namespace joincode
