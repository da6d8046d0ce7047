#include "tests/support/http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace qvx::test {
namespace {

// A server that stops answering ends the request as unreachable instead of holding the test.
constexpr timeval kSocketDeadline{30, 0};

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &kSocketDeadline, sizeof kSocketDeadline);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kSocketDeadline, sizeof kSocketDeadline);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

HttpResponse HttpRequest(int port, const std::string& method, const std::string& path,
                         const std::string& body, const std::string& contentType) {
  HttpResponse response;
  const int fd = Connect(port);
  if (fd < 0) return response;
  std::string request = method + " " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
  if (method == "POST")
    request += "Content-Type: " + contentType + "\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n";
  request += "\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string raw;
  char buffer[4096];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) raw.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);

  const std::size_t lineEnd = raw.find("\r\n");
  const std::size_t headerEnd = raw.find("\r\n\r\n");
  if (lineEnd == std::string::npos || headerEnd == std::string::npos) return response;
  const std::size_t space = raw.find(' ');
  response.status = space < lineEnd ? std::atoi(raw.c_str() + space + 1) : 0;
  response.headers = raw.substr(lineEnd + 2, headerEnd - lineEnd);
  response.body = raw.substr(headerEnd + 4);
  return response;
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool WaitForListener(int port, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (const int fd = Connect(port); fd >= 0) {
      ::close(fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace qvx::test
