#include "web/hostile_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback_listener.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace joincode::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{20};          // how often a waiting step looks at the stop flag
constexpr milliseconds kRequestWait{5000};  // a request head that takes longer is cut off
constexpr size_t kMaxRequestBytes = size_t{1} << 20;
constexpr milliseconds kDrainWait{500};  // after our last byte, for the client to go
constexpr milliseconds kMaxEndless{20'000};
constexpr std::chrono::seconds kMaxLifetime{120};  // the accept loop ends by itself after this

enum class Outcome { kGoOn, kClientGone, kClosed };

size_t ContentLength(const std::string& head) {
  std::string lower(head);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos)
    return 0;
  return static_cast<size_t>(std::strtoull(lower.c_str() + at + 17, nullptr, 10));
}

}  // namespace

Step Send(std::string bytes) {
  return {Step::Kind::kSend, std::move(bytes), milliseconds(0), 0};
}
Step SendSlowly(std::string bytes, milliseconds perByte) {
  return {Step::Kind::kSendSlowly, std::move(bytes), perByte, 0};
}
Step Pause(milliseconds delay) {
  return {Step::Kind::kPause, "", delay, 0};
}
Step StaySilent(milliseconds atMost) {
  return {Step::Kind::kStaySilent, "", atMost, 0};
}
Step Endless(std::string block, int64_t atMostBytes) {
  return {Step::Kind::kEndless, std::move(block), milliseconds(0), atMostBytes};
}
Step Reset(milliseconds after) {
  return {Step::Kind::kReset, "", after, 0};
}
Step Close(milliseconds after) {
  return {Step::Kind::kClose, "", after, 0};
}

std::string RequestHead(const std::string& request) {
  const size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? request : request.substr(0, end);
}

HostileServer::HostileServer(Script script, bool readRequestFirst)
    : HostileServer([script](int, const std::string&) { return script; }, readRequestFirst) {}

HostileServer::HostileServer(Director director, bool readRequestFirst)
    : director_(std::move(director)), readRequestFirst_(readRequestFirst) {
  const test_support::LoopbackListener listener = test_support::ListenOnLoopback(16);
  listener_ = listener.fd;
  if (listener_ < 0)
    return;
  port_ = listener.port;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HostileServer::~HostileServer() {
  stopping_ = true;
  if (acceptor_.joinable())
    acceptor_.join();
  for (std::thread& worker : workers_)
    worker.join();
  if (listener_ >= 0)
    close(listener_);
}

std::string HostileServer::Url(std::string_view pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(pathAndQuery);
}

std::vector<std::string> HostileServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int HostileServer::Connections() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(requests_.size());
}

void HostileServer::Record(int index, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  requests_[static_cast<size_t>(index)].append(bytes);
}

void HostileServer::AcceptLoop() {
  const Clock::time_point end = Clock::now() + kMaxLifetime;
  while (!stopping_ && Clock::now() < end) {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(kSlice.count())) <= 0)
      continue;
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    std::lock_guard lock(mutex_);
    if (requests_.size() >= kMaxConnections) {
      close(fd);
      break;
    }
    const int index = static_cast<int>(requests_.size());
    requests_.emplace_back();
    workers_.emplace_back([this, index, fd] { Serve(index, fd); });
  }
}

void HostileServer::Serve(int index, int fd) {
  // Waits up to `wait` for bytes from the client and records them: kClientGone when it has closed
  // or failed, kGoOn otherwise (also when nothing came).
  auto receive = [&](milliseconds wait) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(wait.count())) <= 0)
      return Outcome::kGoOn;
    char buffer[16384];
    const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0) {
      Record(index, std::string_view(buffer, static_cast<size_t>(got)));
      return Outcome::kGoOn;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
      return Outcome::kGoOn;
    return Outcome::kClientGone;
  };
  auto sleep = [&](milliseconds delay) {
    const Clock::time_point end = Clock::now() + delay;
    while (!stopping_ && Clock::now() < end) {
      std::this_thread::sleep_for(std::min(
          kSlice, std::chrono::duration_cast<milliseconds>(end - Clock::now() + milliseconds(1))));
    }
    return !stopping_;
  };
  auto send = [&](std::string_view bytes) {
    const Clock::time_point end = Clock::now() + milliseconds(10'000);
    while (!bytes.empty()) {
      if (stopping_ || Clock::now() > end)
        return Outcome::kClientGone;
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, static_cast<int>(kSlice.count())) <= 0)
        continue;
      const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent < 0) {
        if (errno == EAGAIN || errno == EINTR)
          continue;
        return Outcome::kClientGone;
      }
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return Outcome::kGoOn;
  };

  std::string request;
  if (readRequestFirst_) {
    const Clock::time_point end = Clock::now() + kRequestWait;
    while (!stopping_ && Clock::now() < end) {
      if (receive(kSlice) == Outcome::kClientGone)
        break;
      request = Requests()[static_cast<size_t>(index)];
      const size_t head = request.find("\r\n\r\n");
      if (request.size() >= kMaxRequestBytes ||
          (head != std::string::npos && request.size() >= head + 4 + ContentLength(request))) {
        break;
      }
    }
  }

  Outcome outcome = Outcome::kGoOn;
  for (const Step& step : director_(index, request)) {
    if (outcome != Outcome::kGoOn || stopping_)
      break;
    switch (step.kind) {
      case Step::Kind::kSend:
        outcome = send(step.bytes);
        break;
      case Step::Kind::kSendSlowly:
        for (char byte : step.bytes) {
          outcome = send(std::string_view(&byte, 1));
          if (outcome != Outcome::kGoOn || !sleep(step.delay))
            break;
        }
        break;
      case Step::Kind::kPause:
        sleep(step.delay);
        break;
      case Step::Kind::kStaySilent: {
        const Clock::time_point end = Clock::now() + step.delay;
        while (outcome == Outcome::kGoOn && !stopping_ && Clock::now() < end)
          outcome = receive(kSlice);
        break;
      }
      case Step::Kind::kEndless: {
        const Clock::time_point end = Clock::now() + kMaxEndless;
        for (int64_t sent = 0; outcome == Outcome::kGoOn && sent < step.limit &&
                               !step.bytes.empty() && Clock::now() < end;
             sent += static_cast<int64_t>(step.bytes.size())) {
          outcome = send(step.bytes);
        }
        break;
      }
      case Step::Kind::kReset: {
        sleep(step.delay);
        const linger abortive{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        close(fd);
        outcome = Outcome::kClosed;
        break;
      }
      case Step::Kind::kClose:
        sleep(step.delay);
        close(fd);
        outcome = Outcome::kClosed;
        break;
    }
  }
  if (outcome == Outcome::kClosed)
    return;
  // An orderly end: our side first, then whatever the client still sends, until it goes.
  shutdown(fd, SHUT_WR);
  const Clock::time_point end = Clock::now() + kDrainWait;
  while (outcome == Outcome::kGoOn && !stopping_ && Clock::now() < end)
    outcome = receive(kSlice);
  close(fd);
}

}  // namespace joincode::testing
