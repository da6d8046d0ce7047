#include "platform/sim/ir_peer.h"

#include <algorithm>
#include <chrono>

namespace platform::sim {

IrPeer::IrPeer(Clock& clock, DcdPolarity polarity) : Peer(clock), polarity_(polarity) {}

void IrPeer::PlayRemote(const std::vector<int64_t>& durationsUs, int64_t delayUs) {
  std::vector<LightMark> marks;
  int64_t atNs = 0;
  for (size_t i = 0; i < durationsUs.size(); ++i) {
    int64_t lengthNs = std::max<int64_t>(durationsUs[i], 0) * 1000;
    if (i % 2 == 0 && lengthNs > 0) marks.push_back({atNs, atNs + lengthNs});
    atNs += lengthNs;
  }
  PlayMarks(marks, delayUs);
}

void IrPeer::PlayMarks(const std::vector<LightMark>& marks, int64_t delayUs) {
  remote_.clear();
  if (marks.empty()) return;
  int64_t shiftNs = PeerClock().NowNs() + delayUs * 1000 - marks.front().startNs;
  for (const auto& mark : marks) remote_.push_back({mark.startNs + shiftNs, mark.endNs + shiftNs});
}

bool IrPeer::LightAt(int64_t ns) const {
  auto after = std::upper_bound(remote_.begin(), remote_.end(), ns,
                                [](int64_t t, const LightMark& mark) { return t < mark.startNs; });
  return after != remote_.begin() && ns < std::prev(after)->endNs;
}

void IrPeer::SetWiring(ReceiverWiring wiring) {
  wiring_ = wiring;
  if (wiring == ReceiverWiring::DcdStandard) polarity_ = DcdPolarity::OffWhileLight;
  if (wiring == ReceiverWiring::IrMouse) polarity_ = DcdPolarity::OnWhileLight;
}

bool IrPeer::Powered() const {
  switch (wiring_) {
    case ReceiverWiring::AlwaysPowered: return true;
    case ReceiverWiring::DcdStandard: return LineOn(OutputLine::Rts);
    case ReceiverWiring::IrMouse:
      return LineOn(OutputLine::Rts) && LineOn(OutputLine::Dtr) && !LineOn(OutputLine::Break);
  }
  return false;
}

void IrPeer::PressWhenRead(PressSource next, int64_t quietMs, int64_t delayUs, WallClockMs wall) {
  pressSource_ = std::move(next);
  quietMs_ = quietMs;
  pressDelayUs_ = delayUs;
  wall_ = wall ? std::move(wall) : [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  lastReadMs_.reset();
}

void IrPeer::At(int64_t ns, std::function<void()> action) { actions_.emplace(ns, std::move(action)); }

uint32_t IrPeer::InputLinesAt(int64_t nowNs) {
  while (!actions_.empty() && actions_.begin()->first <= nowNs) {
    const auto action = std::move(actions_.begin()->second);
    actions_.erase(actions_.begin());
    action();
  }
  if (pressSource_) {
    const int64_t wallMs = wall_();
    const bool quiet = !lastReadMs_ || wallMs - *lastReadMs_ >= quietMs_;
    lastReadMs_ = wallMs;
    // On a virtual clock the last press may not have ended yet; the person let go long ago.
    if (quiet) PlayRemote(pressSource_(), pressDelayUs_);
  }
  bool dcdOn = Powered() && LightAt(nowNs) == (polarity_ == DcdPolarity::OnWhileLight);
  uint32_t lines = (Peer::InputLinesAt(nowNs) & ~kStatusDcd) | (dcdOn ? kStatusDcd : 0);
  if (wiring_ == ReceiverWiring::IrMouse) {
    lines = (lines & ~kStatusDsr) | (LineOn(OutputLine::Rts) ? kStatusDsr : 0);
  }
  return lines;
}

std::optional<int64_t> IrPeer::NextInputChangeNs(int64_t nowNs) {
  std::optional<int64_t> next;
  if (!actions_.empty()) next = actions_.begin()->first;
  auto mark = std::upper_bound(remote_.begin(), remote_.end(), nowNs,
                               [](int64_t t, const LightMark& m) { return t < m.endNs; });
  if (mark != remote_.end()) {
    const int64_t edgeNs = nowNs < mark->startNs ? mark->startNs : mark->endNs;
    next = std::min(next.value_or(edgeNs), edgeNs);
  }
  return next;
}

void IrPeer::OnLineChanged(OutputLine line, bool on, int64_t atNs) {
  if (line == OutputLine::Rts) return;
  auto kind = line == OutputLine::Dtr ? TxEvent::Kind::Dtr : TxEvent::Kind::Break;
  captured_.push_back({kind, atNs, atNs, on, 0});
}

void IrPeer::OnByteSent(uint8_t byte, int64_t startNs, int64_t endNs) {
  captured_.push_back({TxEvent::Kind::Character, startNs, endNs, true, byte});
}

std::vector<LightMark> DtrLight(const std::vector<TxEvent>& events, int64_t endNs) {
  std::vector<LightMark> marks;
  bool on = false;
  int64_t sinceNs = 0;
  for (const auto& event : events) {
    if (event.kind != TxEvent::Kind::Dtr || event.on == on) continue;
    on = event.on;
    if (on) {
      sinceNs = event.startNs;
    } else if (event.startNs > sinceNs) {
      marks.push_back({sinceNs, event.startNs});
    }
  }
  if (on && endNs > sinceNs) marks.push_back({sinceNs, endNs});
  return marks;
}

std::vector<LightMark> TxdCarrier(const std::vector<TxEvent>& events, int64_t joinGapNs) {
  std::vector<LightMark> marks;
  for (const auto& event : events) {
    if (event.kind != TxEvent::Kind::Character) continue;
    if (!marks.empty() && event.startNs - marks.back().endNs <= joinGapNs) {
      marks.back().endNs = std::max(marks.back().endNs, event.endNs);
    } else {
      marks.push_back({event.startNs, event.endNs});
    }
  }
  return marks;
}

std::vector<LightMark> DistortLight(const std::vector<LightMark>& light,
                                    const ReceiverDistortion& distortion, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double stretchNs =
      1000 * (distortion.stretchMinUs + (distortion.stretchMaxUs - distortion.stretchMinUs) * unit(rng));
  const double jitter = distortion.jitterPercent / 100.0;
  auto vary = [&](int64_t ns) {
    return static_cast<int64_t>(static_cast<double>(ns) * (1.0 + jitter * (2.0 * unit(rng) - 1.0)));
  };
  std::vector<LightMark> out;
  if (light.empty()) return out;
  // Durations vary one by one, so the edges move as a real remote's would, not each on its own.
  int64_t atNs = light.front().startNs;
  for (size_t i = 0; i < light.size(); ++i) {
    if (i > 0) atNs += std::max<int64_t>(vary(light[i].startNs - light[i - 1].endNs), 0);
    const int64_t lengthNs = std::max<int64_t>(vary(light[i].endNs - light[i].startNs), 0);
    const int64_t startNs = out.empty() ? atNs : std::max(atNs, out.back().endNs);
    const int64_t endNs = std::max(atNs + lengthNs + static_cast<int64_t>(stretchNs), startNs + 1000);
    if (!out.empty() && startNs == out.back().endNs) {
      out.back().endNs = endNs;  // a gap stretched away joins the two marks
    } else {
      out.push_back({startNs, endNs});
    }
    atNs += lengthNs;
  }
  return out;
}

std::shared_ptr<IrPeer> InstallWiredIrPeer(const std::string& name, Clock& clock,
                                           ReceiverWiring wiring) {
  auto peer = std::make_shared<IrPeer>(clock, DcdPolarity::OffWhileLight);
  peer->SetWiring(wiring);
  peer->RegisterAs(name);
  return peer;
}

std::shared_ptr<IrPeer> InstallIrPeer(const std::string& name, Clock& clock, DcdPolarity polarity) {
  auto peer = std::make_shared<IrPeer>(clock, polarity);
  peer->RegisterAs(name);
  return peer;
}

}  // namespace platform::sim
