// Feeds arbitrary phone traffic to the phone remote: the simulated phone behind a simulated port
// on COM5 answers the start dialogue normally, silently or with garbage, then sends what the
// input scripts and goes out of range and back, while BTMonTick runs every 100 ms and
// BTAutoTick every 2 s on a virtual clock. The events handed to monitoring are recorded and
// echoed to the phone's display, as monitoring does.
//
// Input: a first byte choosing the answers (bits 0..1: normal, silent, garbage), whether
// monitoring runs (bit 2) and the manual mode (bit 3); then records, each a head byte (bits
// 0..1: a line with CR LF, a piece without, a change of range, nothing; bits 2..7: the wait
// before it in steps of 100 ms), a line's length byte (0..31) and its bytes.

#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/sim/phone_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/bluetooth/phoneremote.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"
#include "qvx/ircode/port/serialport.h"
#include "qvx/monitor/phonelink.h"

namespace qvx::fuzz {
namespace {

using platform::sim::PhoneAnswers;

constexpr int kCom = 5;
constexpr int64_t kStepMs = 100;
// The longest stretch of phone traffic one input plays, and the ticks that follow it.
constexpr int64_t kMostTrafficMs = 30'000;
constexpr int64_t kTailMs = 3'000;

std::string Configuration(bool manual) {
  std::string text = "[General]\r\n";
  for (const auto& key : GeneralKeys()) {
    std::string value = "0";
    if (key == "BTENA") value = "1";
    if (key == "BTCOM") value = std::to_string(kCom);
    if (key == "BTMODE") value = manual ? "1" : "0";
    if (key.size() == 3 && key.starts_with("BT")) value = "Room" + key.substr(2);
    text += key + "= " + value + "\r\n";
  }
  return text + "\r\n[Monitoring]\r\n# events\r\nBT0&5,X10&Lamp&On\r\n\r\n[End]\r\n";
}

// Monitoring as far as the phone sees it: every event recorded, its result shown on the phone.
class EventRecorder final : public monitor::EventInput {
 public:
  explicit EventRecorder(bool monitoring) : monitoring_(monitoring) {}
  std::string ReceiveEvent(std::string_view event) override {
    events.emplace_back(event);
    const std::string result = "X10&Lamp&On;";
    if (link) link->Write(monitor::PhoneDisplayCommand(result));
    return result;
  }
  void ShowStatus(std::string_view) override {}
  bool MonitoringOn() const override { return monitoring_; }

  std::vector<std::string> events;
  monitor::PhoneLink* link = nullptr;

 private:
  bool monitoring_;
};

bool IsKeyEventName(std::string_view name) {
  for (const std::string_view key : {"UP", "DOWN", "YES", "NO", "C", "LEFT", "RIGHT"})
    if (name == key) return true;
  return name.size() == 1;
}

// "BT&" and a connection or flip event, or "BTn&" and a key for the device number n.
void CheckEvent(std::string_view event) {
  for (const std::string_view fixed : {monitor::kPhoneConnectedEvent, monitor::kPhoneDisconnectedEvent,
                                       monitor::kPhoneFlipOpenEvent, monitor::kPhoneFlipClosedEvent})
    if (event == fixed) return;
  Check(event.size() > 4 && event.starts_with("BT") && event[2] >= '0' && event[2] <= '9' &&
            event[3] == '&' && IsKeyEventName(event.substr(4)),
        "a dispatched event is BTn&KEY or BT&EVENT");
}

// Connection events alternate: each change of the link is reported once.
void CheckAlternation(const std::vector<std::string>& events) {
  std::string_view last;
  for (const std::string& event : events) {
    if (event != monitor::kPhoneConnectedEvent && event != monitor::kPhoneDisconnectedEvent) continue;
    Check(event != last, "a connection change is reported once");
    last = event;
  }
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace
}  // namespace qvx::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv(("QVX_COM" + std::to_string(qvx::fuzz::kCom)).c_str(), "sim:fuzz-phone", 1);
  setenv("QVX_AUDIO_DEVICE", "none", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qvx;
  using namespace qvx::fuzz;
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const PhoneAnswers answers = (mode & 3) == 1   ? PhoneAnswers::Silent
                               : (mode & 3) == 2 ? PhoneAnswers::Garbage
                                                 : PhoneAnswers::Normal;

  ConfigStore store;
  store.path = WriteScratchFile("phone.cfg", Configuration((mode & 8) != 0));
  Check(LoadGeneral(store).ok, "the phone's configuration loads");

  platform::sim::VirtualClock clock;
  const platform::ScopedClock active(clock);
  const auto peer = platform::sim::InstallPhonePeer("fuzz-phone", clock);
  peer->Phone().SetAnswers(answers);
  EventRecorder input((mode & 4) != 0);
  {
    bluetooth::PhoneRemote remote(store, input, clock);
    input.link = &remote;
    remote.StartPhoneLink();

    bool inRange = true;
    int64_t nextAutoNs = clock.NowNs() + int64_t{bluetooth::kBtAutoTimerIntervalMs} * 1'000'000;
    const auto runTicksUntil = [&](int64_t untilNs) {
      while (clock.NowNs() < untilNs) {
        if (remote.Controls().btMonTimer) remote.BTMonTick();
        if (clock.NowNs() >= nextAutoNs) {
          remote.BTAutoTick();
          nextAutoNs = clock.NowNs() + int64_t{bluetooth::kBtAutoTimerIntervalMs} * 1'000'000;
        }
        clock.SleepMs(bluetooth::kBtMonTimerIntervalMs);
        Check(store.general.btCurrent >= 0 && store.general.btCurrent <= 9,
              "BTCURRENT stays 0 to 9 in memory");
        Check(!remote.Connected() || remote.PortHandle() > 0, "a connected link has its port");
      }
    };

    const int64_t startNs = clock.NowNs();
    int64_t atNs = startNs;
    for (std::size_t i = 1; i < size;) {
      const uint8_t head = data[i++];
      atNs += (head >> 2) * kStepMs * 1'000'000;
      if (atNs - startNs > kMostTrafficMs * 1'000'000) break;
      std::string line;
      if ((head & 3) <= 1 && i < size) {
        const std::size_t wanted = data[i++] & 31;
        const std::size_t length = std::min(wanted, size - i);
        line.assign(reinterpret_cast<const char*>(data + i), length);
        i += length;
        if ((head & 3) == 0) line += "\r\n";
      }
      runTicksUntil(atNs);
      if ((head & 3) == 2) {
        inRange = !inRange;
        peer->SetInRange(inRange);
      } else if (!line.empty() && inRange) {
        peer->QueueInput(line);
      }
    }
    runTicksUntil(clock.NowNs() + kTailMs * 1'000'000);
    input.link = nullptr;
  }
  platform::UnregisterSimPeer("fuzz-phone");

  for (const std::string& event : input.events) CheckEvent(event);
  CheckAlternation(input.events);
  for (const std::string& command : peer->Phone().Commands())
    Check(command.size() + 2 <= qvx::ircode::kPortBufferBytes, "a command line fits one port write");
  const std::string file = FileText(store.path);
  const std::size_t at = FindInText("BTCURRENT=", file, 1);
  Check(at != 0, "the file keeps BTCURRENT");
  const auto value = ReadLineValue(file, at);
  Check(value && value->size() == 1 && (*value)[0] >= '0' && (*value)[0] <= '9',
        "BTCURRENT stays 0 to 9 in the file");
  return 0;
}
