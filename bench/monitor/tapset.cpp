#include "bench/monitor/tapset.h"

#include <map>

#include "qvx/config/general.h"

namespace qvx::bench {
namespace {

using ircode::sim::RemoteFamily;

int HeldMs(RemoteFamily family, PressLength length) {
  switch (length) {
    case PressLength::Tap: return 0;
    case PressLength::Held: return 2000;
    case PressLength::LongTap: break;
  }
  switch (family) {
    case RemoteFamily::Nec: return 650;
    case RemoteFamily::Rc5: return 700;
    default: return 450;
  }
}

// The command name of each distinct code of the presses, by family, in order of appearance.
std::map<std::string, std::string> CommandsByCode(const std::vector<BenchPress>& presses) {
  std::map<std::string, std::string> commands;
  for (const BenchPress& press : presses) {
    const std::string key = std::string(press.family->device) + press.press.code;
    if (!commands.contains(key)) commands[key] = "K" + std::to_string(commands.size() + 1);
  }
  return commands;
}

}  // namespace

const std::vector<TapFamily>& TapFamilies() {
  static const std::vector<TapFamily> families = {
      {RemoteFamily::Nec, "NEC", 0},
      {RemoteFamily::Sony12, "SONY12", 1},
      {RemoteFamily::Sony15, "SONY15", 1},
      {RemoteFamily::Rc5, "RC5", 2},
  };
  return families;
}

BenchPress MakeBenchPress(const TapFamily& family, ircode::sim::RemoteSet set, PressLength length,
                          double jitterPercent, std::mt19937& rng) {
  const auto remotes = ircode::sim::RecordedRemotesOf(family.family, set);
  const auto pick = std::uniform_int_distribution<std::size_t>(0, remotes.size() - 1)(rng);
  BenchPress bench;
  bench.family = &family;
  bench.set = set;
  bench.length = length;
  bench.press = ircode::sim::MakeRecordedPress(*remotes[pick], HeldMs(family.family, length),
                                               jitterPercent, rng);
  const auto& marks = bench.press.marks;
  bench.firstFrameEndUs = marks[bench.press.light.frames.front().second].second - marks.front().first;
  return bench;
}

std::vector<double> ReceivedDurationsUs(const BenchPress& press) {
  std::vector<double> durations;
  double lastUs = press.press.marks.front().first;
  for (const auto& [startUs, endUs] : press.press.marks) {
    if (startUs > lastUs) durations.push_back(startUs - lastUs);
    durations.push_back(endUs - startUs);
    lastUs = endUs;
  }
  return durations;
}

std::vector<std::string> ExpectedEvents(const std::vector<BenchPress>& presses) {
  const std::map<std::string, std::string> commands = CommandsByCode(presses);
  std::vector<std::string> events;
  for (const BenchPress& press : presses) {
    const std::string device = press.family->device;
    events.push_back(device + "&" + commands.at(device + press.press.code));
  }
  return events;
}

std::string BenchConfiguration(const std::vector<BenchPress>& presses, int itype, int procDelayUs) {
  const std::map<std::string, std::string> values = {
      {"COMPORT", "1"}, {"PROCDELAY", std::to_string(procDelayUs)}, {"ITYPE", std::to_string(itype)},
      {"IRINENA", "1"}, {"IROUTENA", "1"}, {"WINAMPPATH", "none"}, {"BTCOM", "2"}};
  std::string text = "[General]\r\n";
  for (const auto& key : GeneralKeys()) {
    std::string value = "0";
    if (const auto set = values.find(key); set != values.end()) {
      value = set->second;
    } else if (key.size() == 3 && key.starts_with("BT")) {
      value.clear();  // BT0 to BT9, the phone's device entries
    }
    text += key + "= " + value + "\r\n";
  }
  const std::map<std::string, std::string> commands = CommandsByCode(presses);
  std::string events = "\r\n[Monitoring]\r\n# every key runs one output\r\n";
  for (const TapFamily& family : TapFamilies()) {
    text += "\r\n[" + std::string(family.device) + "]\r\n# " + family.device + " remotes\r\nGPROTO= " +
            std::to_string(family.gproto) +
            "\r\nSENDPLS= 560\r\nREPEAT= 0\r\nBITG= 1\r\nBIT0= 10\r\nBIT1= 1000\r\nGREPEAT= 1\r\n";
    for (const auto& [key, command] : commands) {
      if (!key.starts_with(std::string(family.device) + "G")) continue;
      text += key.substr(std::string(family.device).size()) + "," + command + "\r\n";
      events += std::string(family.device) + "&" + command + ",Winamp&PLAY\r\n";
    }
  }
  return text + "\r\n[X10]\r\n# none\r\n" + events + "\r\n[End]\r\n";
}

}  // namespace qvx::bench
