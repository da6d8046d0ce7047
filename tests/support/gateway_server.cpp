#include "tests/support/gateway_server.h"

#include <vector>

#include "tests/support/support.h"

namespace qvx::test {

std::string DeliveredConfigWith(const std::string& edit, const std::string& replacement) {
  std::string config = ReadFile(BinDir() / "pelgrin.cfg");
  if (!edit.empty()) {
    if (const std::size_t at = config.find(edit); at != std::string::npos)
      config.replace(at, edit.size(), replacement);
  }
  return config;
}

std::map<std::string, std::string> SimulatedPortsIn(const std::filesystem::path& dir) {
  std::map<std::string, std::string> environment = {
      {"QVX_COM1", "sim:ir"},
      {"QVX_SIM_CLOCK", "virtual"},
      {"QVX_SIM_CAPTURE", (dir / "capture.txt").string()},
      {"QVX_SIM_LOCKS", (dir / "locks").string()}};
  for (int port = 2; port <= 9; ++port)
    environment["QVX_COM" + std::to_string(port)] = "sim:absent";
  return environment;
}

bool GatewayServer::Start(const std::filesystem::path& dir, const std::string& config,
                          const std::map<std::string, std::string>& environment) {
  if (!HaveProgram("lighttpd") && !std::filesystem::exists("/usr/sbin/lighttpd")) return false;
  dir_ = dir;
  std::filesystem::create_directories(dir_ / "www");
  WriteFile(ConfigPath(), config);
  port_ = FreeLoopbackPort();
  std::vector<std::string> argv = {"bash", (SourceDir() / "scripts/serve-gateways.sh").string(),
                                   BinDir().string(), dir_.string(), std::to_string(port_),
                                   "QVX_AUDIO_DEVICE=none"};
  for (const auto& [name, value] : environment) argv.push_back(name + "=" + value);
  server_ = ChildProcess(argv);
  return WaitForListener(port_, 10000);
}

std::string GatewayServer::ErrorLog() const { return ReadFile(dir_ / "error.log"); }

}  // namespace qvx::test
