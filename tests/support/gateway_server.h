#pragma once

// lighttpd with mod_cgi serving the built gateways on a free loopback port, from a fresh
// directory of the caller's, as a web server on the PC serves them.

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/http.h"
#include "tests/support/process.h"

namespace qvx::test {

// The delivered configuration with the first `edit` replaced by `replacement` (none when empty).
std::string DeliveredConfigWith(const std::string& edit = "", const std::string& replacement = "");

// The gateways' environment for simulated hardware: COM1 the infrared transmitter on the
// virtual clock, one device for all their processes (locks in dir/locks), its light appended to
// dir/capture.txt; COM2 to COM9 absent, so no port of the machine is ever opened.
std::map<std::string, std::string> SimulatedPortsIn(const std::filesystem::path& dir);

class GatewayServer {
 public:
  // Writes config as dir/www/pelgrin.cfg, copies the gateways beside it and starts lighttpd,
  // which hands `environment` to every gateway it starts. False when it does not answer.
  bool Start(const std::filesystem::path& dir, const std::string& config,
             const std::map<std::string, std::string>& environment);
  int port() const { return port_; }
  // The configuration the gateways read.
  std::filesystem::path ConfigPath() const { return dir_ / "www" / "pelgrin.cfg"; }
  // What lighttpd logged.
  std::string ErrorLog() const;
  HttpResponse Get(const std::string& path) const { return HttpRequest(port_, "GET", path); }
  HttpResponse Post(const std::string& path, const std::string& body) const {
    return HttpRequest(port_, "POST", path, body);
  }

 private:
  std::filesystem::path dir_;
  ChildProcess server_;
  int port_ = 0;
};

}  // namespace qvx::test
