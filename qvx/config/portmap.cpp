#include "qvx/config/portmap.h"

#include <system_error>

#include "platform/serial.h"
#include "qvx/config/file.h"
#include "qvx/config/text.h"

namespace qvx {
namespace {

constexpr long kLastPort = 9999;

}  // namespace

PortMapReading ParsePortMap(std::string_view text) {
  PortMapReading reading;
  std::map<int32_t, int> lineOf;
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = TrimWhitespace(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (line.empty() || line.starts_with('#')) continue;

    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const std::size_t equals = line.find('=');
    const std::string_view name = TrimWhitespace(line.substr(0, equals));
    if (equals == std::string_view::npos || name.size() < 4 ||
        !EqualsIgnoreCase(name.substr(0, 3), "COM")) {
      reading.problems.push_back(where + "expected COMn=DEVICE, found \"" + std::string(line) +
                                 "\"");
      continue;
    }
    const std::string_view digits = name.substr(3);
    const long port = LeadingDigits(digits, kLastPort + 1);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos || port < 1 ||
        port > kLastPort) {
      reading.problems.push_back(where + std::string(name) + " is no port (COM1 to COM9999)");
      continue;
    }
    const std::string_view device = TrimWhitespace(line.substr(equals + 1));
    const std::string portName = "COM" + std::to_string(port);
    if (device.empty()) {
      reading.problems.push_back(where + portName + " names no device");
      continue;
    }
    const auto [earlier, added] = lineOf.try_emplace(static_cast<int32_t>(port), lineNumber);
    if (!added) {
      reading.problems.push_back(where + portName + " is mapped on line " +
                                 std::to_string(earlier->second) + " already");
      continue;
    }
    reading.targets.emplace(static_cast<int32_t>(port), std::string(device));
  }
  return reading;
}

std::vector<std::string> UsePortMapBeside(const std::filesystem::path& configFile) {
  const std::filesystem::path file = configFile.parent_path() / kPortMapFileName;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    platform::SetPortMap({});
    return {};
  }
  std::string error;
  const std::optional<std::string> text = ReadConfigFile(file, error);
  if (!text) {
    platform::SetPortMap({});
    return {error + "; the ports keep their usual devices"};
  }
  PortMapReading reading = ParsePortMap(*text);
  platform::SetPortMap(std::move(reading.targets));
  for (std::string& problem : reading.problems) problem = file.string() + " " + problem;
  return std::move(reading.problems);
}

}  // namespace qvx
