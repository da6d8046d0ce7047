// The gateways under load (not a test): lighttpd on loopback, `--clients` clients sending
// `--requests` requests in all, a mix of page loads of both gateways and sends of stored
// commands to the simulated infrared transmitter, every answer checked. Prints the figures;
// the exit status is 1 when a check failed.
//   build/release/bin/gateway_load [--requests 10000] [--clients 8]

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "tests/support/gateway_load.h"
#include "tests/support/support.h"

int main(int argc, char** argv) {
  int requests = 10'000;
  int clients = 8;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    const int value = std::atoi(argv[i + 1]);
    if (option == "--requests" && value > 0) {
      requests = value;
    } else if (option == "--clients" && value > 0) {
      clients = value;
    } else {
      std::cerr << "usage: gateway_load [--requests N] [--clients N]\n";
      return 2;
    }
  }
  if (argc % 2 == 0) {
    std::cerr << "usage: gateway_load [--requests N] [--clients N]\n";
    return 2;
  }
  qvx::test::TempDir dir;
  qvx::test::GatewayLoad load;
  if (!load.Start(dir.path())) {
    std::cerr << "lighttpd does not answer: " << load.server().ErrorLog() << "\n";
    return 1;
  }
  const qvx::test::LoadReport report = load.Run(requests, clients);
  std::cout << "lighttpd mod_cgi on 127.0.0.1:" << load.server().port()
            << ", infrared port on the simulated transmitter (virtual clock)\n"
            << qvx::test::FormatLoadReport(report);
  return report.Passed() ? 0 : 1;
}
