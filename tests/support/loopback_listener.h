// A listening TCP socket on 127.0.0.1 at a free port, for the tests' own raw servers.
//
//   LoopbackListener listener = ListenOnLoopback(16);
//   if (listener.fd < 0) ...;  // no socket could be had
//   int client = accept(listener.fd, nullptr, nullptr);
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace joincode::test_support {

struct LoopbackListener {
  int fd = -1;  // owned by the caller, who closes it
  int port = 0;
};

inline sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

inline LoopbackListener ListenOnLoopback(int backlog) {
  LoopbackListener listener;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return listener;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return listener;
  }
  listener.fd = fd;
  listener.port = ntohs(address.sin_port);
  return listener;
}

}  // namespace joincode::test_support
