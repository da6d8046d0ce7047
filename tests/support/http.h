#pragma once

// A minimal HTTP/1.0 client for tests that talk to a web server on loopback.

#include <string>

namespace qvx::test {

struct HttpResponse {
  int status = 0;        // 0 when the server could not be reached
  std::string headers;   // the header block, without the status line
  std::string body;
};

// Sends one request to 127.0.0.1:port and reads the whole answer; a server silent for 30 s
// ends it with what has arrived (status 0 without a whole header).
HttpResponse HttpRequest(int port, const std::string& method, const std::string& path,
                         const std::string& body = "",
                         const std::string& contentType = "application/x-www-form-urlencoded");

// A TCP port on loopback that nothing listens on at the moment of the call.
int FreeLoopbackPort();

// True once something accepts connections on 127.0.0.1:port, polling for up to timeoutMs.
bool WaitForListener(int port, int timeoutMs);

}  // namespace qvx::test
