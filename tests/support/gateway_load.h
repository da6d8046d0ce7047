#pragma once

// Many clients at once against the gateways served by lighttpd: page loads of both gateways
// and sends of stored commands to the simulated infrared transmitter, every answer checked.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/gateway_server.h"

namespace qvx::test {

// What a load run saw.
struct LoadReport {
  int requests = 0;
  int clients = 0;
  double seconds = 0;
  double p50Ms = 0, p95Ms = 0, p99Ms = 0;
  int errors = 0;                    // 5xx, broken or unexpected answers
  std::vector<std::string> samples;  // the first few errors, described
  int sendsExecuted = 0;             // answered "DEVICE COMMAND executed."
  int sendsRefused = 0;              // answered "Cannot open COM port for infrared interface!"
  int transmissions = 0;             // transmissions the simulated transmitter captured
  int transmissionsMatched = 0;      // of those, the exact light of an executed send
  bool configIdentical = false;      // pelgrin.cfg byte for byte as before, no file added
  double RequestsPerSecond() const { return seconds > 0 ? requests / seconds : 0; }
  // True when every check held: no error, each send executed or refused, each executed send
  // captured as its light and nothing else, the configuration untouched.
  bool Passed() const;
};

class GatewayLoad {
 public:
  // Serves the gateways from dir with the delivered configuration; the infrared port is the
  // simulated transmitter on the virtual clock, one device for all gateway processes.
  bool Start(const std::filesystem::path& dir);
  const GatewayServer& server() const { return server_; }
  // The lock file by which the gateways contend for the simulated infrared port.
  std::filesystem::path IrLockFile() const { return dir_ / "locks" / "ir.lock"; }
  // Sends `requests` requests from `clients` threads, each waiting for its answer before the
  // next, and checks them all.
  LoadReport Run(int requests, int clients);

 private:
  std::filesystem::path dir_;
  GatewayServer server_;
};

// The report as the load program prints it, one figure a line.
std::string FormatLoadReport(const LoadReport& report);

}  // namespace qvx::test
