// Feeds an arbitrary reply byte stream to SendX10Code: a simulated CM11 in scripted mode, behind
// a simulated port on COM3 and a virtual clock, answers each byte the exchange sends with the
// next scripted reply, so that polls and time-outs cost no real time.
//
// Input: house, unit, function (each byte modulo 20, minus 2, so that indexes outside their
// ranges occur) and the dim amount (a signed byte), then per byte the host sends a head byte
// (reply length in bits 0..1, delay in bits 2..7 in steps of 50 ms) and the reply's bytes.

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/sim/cm11_peer.h"
#include "platform/sim/virtual_clock.h"
#include "qvx/devices/x10.h"
#include "qvx/ircode/port/serialport.h"

namespace {

using qvx::fuzz::Check;

constexpr int kCom = 3;
constexpr int64_t kDelayStepUs = 50'000;
// Requests of the interface served in one send (0x5A answered by 0xC3, 0xA5 by a clock setting).
constexpr int kMaxServed = 8;
// Two failed attempts and a repeat after each served request, four exchanges each with its reply
// polled at most 10 times (20 for the last) every 200 ms; each request served with up to 20
// polls more; and the characters on the wire at 4800 baud besides.
constexpr int64_t kLongestSendNs =
    ((2 + kMaxServed) * (10 + 10 + 10 + 20) + (kMaxServed + 1) * 20) * 200'000'000LL + 500'000'000;

int Index(uint8_t byte) { return byte % 20 - 2; }

struct Sent {
  std::vector<uint8_t> bytes;
  std::array<uint8_t, 6> exchange;
};

// True when bytes from `at` on are attempts (each the exchange's bytes up to the end of one of
// its steps, a failed step ending the attempt) and served requests (0xC3; or 0x9B and six
// clock bytes, with or without the go-ahead), with at most two attempts more than requests
// served and no more requests than a send serves. With `whole`, the last attempt is the whole
// exchange and only served requests follow it.
bool Decomposes(const Sent& sent, std::size_t at, int attempts, int served, bool whole, bool done) {
  const std::vector<uint8_t>& bytes = sent.bytes;
  if (served > kMaxServed + 1 || attempts > 2 + served) return false;
  if (at == bytes.size()) return !whole || done;
  if (bytes[at] == 0xC3 && Decomposes(sent, at + 1, attempts, served + 1, whole, done)) return true;
  if (bytes[at] == 0x9B && at + 7 <= bytes.size()) {
    if (Decomposes(sent, at + 7, attempts, served + 1, whole, done)) return true;
    if (at + 8 <= bytes.size() && bytes[at + 7] == 0x00 &&
        Decomposes(sent, at + 8, attempts, served + 1, whole, done))
      return true;
  }
  if (done) return false;
  std::size_t matched = 0;
  while (at + matched < bytes.size() && matched < sent.exchange.size() &&
         bytes[at + matched] == sent.exchange[matched])
    ++matched;
  for (const std::size_t stepEnd : {2, 3, 5, 6}) {
    if (stepEnd > matched) break;
    // An attempt that sent every byte may still have failed: the interface did not report
    // itself ready after the last one.
    if (Decomposes(sent, at + stepEnd, attempts + 1, served, whole, false)) return true;
    if (stepEnd == 6 && whole && Decomposes(sent, at + stepEnd, attempts + 1, served, whole, true))
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv(("QVX_COM" + std::to_string(kCom)).c_str(), "sim:fuzz-cm11", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace platform::sim;
  if (size < 4) return 0;
  const int house = Index(data[0]), unit = Index(data[1]), function = Index(data[2]);
  const int amount = static_cast<int8_t>(data[3]);

  std::vector<TimedReply> script;
  for (std::size_t i = 4; i < size;) {
    const uint8_t head = data[i++];
    const std::size_t length = std::min<std::size_t>(head & 3, size - i);
    TimedReply reply;
    reply.bytes.assign(data + i, data + i + length);
    reply.delayUs = (head >> 2) * kDelayStepUs;
    script.push_back(std::move(reply));
    i += length;
  }

  VirtualClock clock;
  const platform::ScopedClock active(clock);
  const auto peer = InstallCm11Peer("fuzz-cm11", clock);
  peer->Interface().ScriptReplies(std::move(script));
  platform::PortHandle port = qvx::ircode::OpenPort(kCom);
  Check(port > 0, "the simulated CM11 opens");
  Check(qvx::ircode::SetPortMode(4800, 8, port), "the port takes the CM11's line format");

  const int64_t startNs = clock.NowNs();
  const bool sent = qvx::devices::SendX10Code(port, house, unit, function, amount, clock);
  const std::vector<uint8_t> received = peer->Interface().Received();
  qvx::ircode::ClosePort(port);
  platform::UnregisterSimPeer("fuzz-cm11");

  Check(clock.NowNs() - startNs <= kLongestSendNs, "the exchange ends within its polls");
  const auto houseCode = qvx::devices::X10CodeValue(house);
  const auto unitCode = qvx::devices::X10CodeValue(unit);
  if (!houseCode || !unitCode || function < qvx::devices::kX10AllUnitsOff ||
      function > qvx::devices::kX10AllLightsOff) {
    Check(!sent && received.empty(), "arguments out of range send nothing");
    return 0;
  }
  int header = 0x04;
  if (function == qvx::devices::kX10Dim || function == qvx::devices::kX10Bright)
    header = std::clamp(amount, 0, 100) * 22 / 100 * 8 + 4;
  const std::array<uint8_t, 6> exchange = {
      static_cast<uint8_t>(header), static_cast<uint8_t>(*houseCode * 16 + *unitCode), 0x00,
      static_cast<uint8_t>(header + 2), static_cast<uint8_t>(*houseCode * 16 + function), 0x00};
  Check(Decomposes({received, exchange}, 0, 0, 0, false, false),
        "the host sends whole steps of at most two failed attempts, and serves requests");
  if (sent) {
    Check(Decomposes({received, exchange}, 0, 0, 0, true, false),
          "a successful send ends with the whole exchange");
  }
  return 0;
}
