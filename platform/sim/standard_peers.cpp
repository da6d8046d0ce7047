#include "platform/sim/standard_peers.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/sim/cm11_peer.h"
#include "platform/sim/phone_peer.h"
#include "platform/sim/standard_kernel_device.h"
#include "platform/sim/virtual_clock.h"

namespace platform::sim {
namespace {

struct StandardPeers {
  std::unique_ptr<VirtualClock> virtualClock;
  std::shared_ptr<IrPeer> ir;
  std::shared_ptr<Cm11Peer> cm11;
  std::shared_ptr<PhonePeer> phone;
  std::string captureFile;
};

StandardPeers& Peers() {
  static StandardPeers peers;
  return peers;
}

const char* KindName(TxEvent::Kind kind) {
  switch (kind) {
    case TxEvent::Kind::Dtr: return "dtr";
    case TxEvent::Kind::Break: return "break";
    case TxEvent::Kind::Character: return "char";
  }
  return "?";
}

void WriteCapture() {
  const StandardPeers& peers = Peers();
  if (peers.captureFile.empty() || !peers.ir) return;
  std::ostringstream text;
  for (const TxEvent& event : peers.ir->Captured())
    text << KindName(event.kind) << ' ' << (event.on ? 1 : 0) << ' ' << int{event.byte} << ' '
         << event.startNs << ' ' << event.endNs << '\n';
  std::string kernelWrites;
  AppendKernelCapture(kernelWrites);
  text << kernelWrites;
  // Binary, so that a capture reads the same byte for byte on every system; unbuffered, so that
  // the whole capture is one append.
  std::ofstream out;
  out.rdbuf()->pubsetbuf(nullptr, 0);
  out.open(peers.captureFile, std::ios::app | std::ios::binary);
  const std::string block = text.str();
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

}  // namespace

void RegisterStandardPeers() {
  StandardPeers& peers = Peers();
  if (peers.ir) return;
  if (const char* clock = std::getenv("QVX_SIM_CLOCK"); clock && std::string(clock) == "virtual") {
    peers.virtualClock = std::make_unique<VirtualClock>();
    peers.virtualClock->SetLineReadCostNs(kStandardLineReadNs);
    SetActiveClock(peers.virtualClock.get());
  }
  Clock& clock = ActiveClock();
  peers.ir = InstallIrPeer("ir", clock);
  peers.cm11 = InstallCm11Peer("cm11", clock);
  peers.phone = InstallPhonePeer("phone", clock);
  std::filesystem::path kernelLock;
  if (const char* locks = std::getenv("QVX_SIM_LOCKS"); locks && *locks) {
    const std::filesystem::path dir(locks);
    std::error_code ignored;  // a directory that cannot be made leaves every open refused
    std::filesystem::create_directories(dir, ignored);
    peers.ir->SetMachineLock(dir / "ir.lock");
    peers.cm11->SetMachineLock(dir / "cm11.lock");
    peers.phone->SetMachineLock(dir / "phone.lock");
    kernelLock = dir / "lirc.lock";
  }
  if (const char* script = std::getenv("QVX_SIM_PHONE"); script && *script)
    peers.phone->Phone().SetScript(ReadPhoneScript(script));
  std::vector<LightMark> light;
  if (const char* presses = std::getenv("QVX_SIM_PRESSES"); presses && *presses) {
    light = ReadPressScript(presses);
    if (!light.empty()) peers.ir->PlayMarks(light, light.front().startNs / 1000);
  }
  RegisterStandardKernelDevice(clock, light, kernelLock);
  if (const char* capture = std::getenv("QVX_SIM_CAPTURE"); capture && *capture) {
    peers.captureFile = capture;
    std::atexit(WriteCapture);
  }
}

std::shared_ptr<IrPeer> StandardIrPeer() { return Peers().ir; }

std::vector<LightMark> ReadPressScript(const std::filesystem::path& path) {
  std::vector<LightMark> marks;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int64_t atMs = 0;
    if (!(fields >> atMs)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos || line.front() == '#') continue;
      return {};
    }
    int64_t atNs = atMs * 1'000'000;
    if (!marks.empty() && atNs < marks.back().endNs) return {};
    int64_t durationUs = 0;
    for (bool light = true; fields >> durationUs; light = !light) {
      if (durationUs < 0) return {};
      if (light && durationUs > 0) marks.push_back({atNs, atNs + durationUs * 1000});
      atNs += durationUs * 1000;
    }
    if (!fields.eof()) return {};
  }
  return marks;
}

std::vector<TxEvent> ReadCaptureFile(const std::filesystem::path& path) {
  std::vector<TxEvent> events;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string kind;
    int on = 0, byte = 0;
    int64_t startNs = 0, endNs = 0;
    if (!(fields >> kind >> on >> byte >> startNs >> endNs)) continue;
    TxEvent event{TxEvent::Kind::Character, startNs, endNs, on != 0, static_cast<uint8_t>(byte)};
    if (kind == "dtr") event.kind = TxEvent::Kind::Dtr;
    else if (kind == "break") event.kind = TxEvent::Kind::Break;
    else if (kind != "char") continue;  // the kernel device's writes ("lirc")
    events.push_back(event);
  }
  return events;
}

}  // namespace platform::sim
