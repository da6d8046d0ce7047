#include "qvx/ircode/canonicaldecode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "qvx/ircode/irtypes.h"

namespace qvx::ircode {

namespace {

// A run's length varies with the remote's jitter (up to 30 % either way, a deviation of about
// 0.17 of its length) and by up to a sample from where the samples fall.
constexpr double kRunSpread = 0.17;
constexpr double kSampleSpread = 0.7;
// A run further than this many spreads from every length its protocol allows rules the
// protocol out for its frame. Jitter of 30 % and a sample's error take a run up to 1.8 spreads
// away, and a fit to a single frame so jittered may be off by a few percent more.
constexpr double kAcceptSpreads = 2.6;
constexpr double kAcceptCost = kAcceptSpreads * kAcceptSpreads;
constexpr size_t kShortestCode = 7;
// Frames of one press whose own readings differ in more bits are taken for different codes.
constexpr size_t kMostBitsApart = 3;
// The first mark after darkness may come out longer while the receiver settles, and the gap
// after it as much shorter.
constexpr double kSettleUnits = 0.4;
constexpr int kRc5Halves = 28;
constexpr size_t kRc5MostRuns = 27;

// The readings of the runs of a frame that carry a choice, as squared deviations: for NEC the
// gaps (one or three units), for SONY the data marks (one or two), for RC5 every run (one or
// two half bits).
using Costs = std::vector<std::array<double, 2>>;

struct Frame {
  Costs costs;
  std::string bits;         // the frame read on its own
  bool repeatCode = false;  // a NEC repeat code, which carries no bits
  bool headerless = false;  // a NEC frame read without its header mark
  size_t burst = 0;         // the burst it was read from
};

// Runs [begin, end) between two gaps long enough to separate frames; a mark first and last.
struct Burst {
  size_t begin = 0;
  size_t end = 0;
  bool afterDark = false;   // such a gap lies before it
  bool beforeDark = false;  // and after it
  bool pressStart = false;  // it begins a recording, at the press's first light
};

double Sign(const SampleRun& run) { return run.mark ? 1.0 : -1.0; }

double Spread(double units, const UnitFit& fit) {
  return kRunSpread * units * fit.unitSamples + kSampleSpread;
}

// How many spreads a run lies from a length of `units`; while the receiver settles a mark may
// be longer and a gap shorter.
double Deviation(const SampleRun& run, double units, const UnitFit& fit, bool settling = false) {
  double off = run.samples - units * fit.unitSamples - Sign(run) * fit.stretchSamples;
  if (settling) {
    const double allowed = kSettleUnits * fit.unitSamples;
    off = run.mark ? std::max(std::min(off, 0.0), off - allowed)
                   : std::min(std::max(off, 0.0), off + allowed);
  }
  return off / Spread(units, fit);
}

double Cost(const SampleRun& run, double units, const UnitFit& fit, bool settling = false) {
  const double deviation = Deviation(run, units, fit, settling);
  return deviation * deviation;
}

bool Fits(const SampleRun& run, double units, const UnitFit& fit) {
  return Cost(run, units, fit) <= kAcceptCost;
}

// The length among `choices` that lies the fewest spreads from the run.
int Nearest(const SampleRun& run, std::initializer_list<int> choices, const UnitFit& fit) {
  int best = *choices.begin();
  for (const int units : choices) {
    if (Cost(run, units, fit) < Cost(run, best, fit)) best = units;
  }
  return best;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The squared deviations of the runs of each class from a fit, gathered in one pass: runs of k
// units are grouped by k and by kind (mark or gap), which is all that a least-squares fit of
// unit and stretch and its cost need.
class ClassSums {
 public:
  static constexpr int kMostUnits = 4;

  void Add(const SampleRun& run, int units) {
    if (units == 0) {
      ++rejected_;
      return;
    }
    Group& group = groups_[units - 1][run.mark ? 1 : 0];
    group.count += 1;
    group.sum += run.samples;
    group.squares += static_cast<double>(run.samples) * run.samples;
  }

  // Unit and stretch by least squares, each run weighted by the inverse square of its length in
  // units (its jitter grows with it); nothing when the runs do not determine a usable fit.
  std::optional<UnitFit> Solve() const {
    double skk = 0, sks = 0, sss = 0, skn = 0, ssn = 0;
    for (int k = 1; k <= kMostUnits; ++k) {
      const double w = 1.0 / (k * k);
      for (int kind = 0; kind < 2; ++kind) {
        const Group& group = groups_[k - 1][kind];
        const double sign = kind == 1 ? 1.0 : -1.0;
        skk += w * k * k * group.count;
        sks += w * k * sign * group.count;
        sss += w * group.count;
        skn += w * k * group.sum;
        ssn += w * sign * group.sum;
      }
    }
    const double det = skk * sss - sks * sks;
    if (std::abs(det) <= 1e-9) return std::nullopt;
    const UnitFit fit{(skn * sss - sks * ssn) / det, (skk * ssn - sks * skn) / det};
    if (fit.unitSamples < 2 || std::abs(fit.stretchSamples) >= 0.45 * fit.unitSamples) {
      return std::nullopt;
    }
    return fit;
  }

  // How well a fit explains the runs as classed: the squared deviation of each run in spreads,
  // a run of no class counting as far as the acceptance allows.
  double Cost(const UnitFit& fit) const {
    double cost = rejected_ * kAcceptCost;
    for (int k = 1; k <= kMostUnits; ++k) {
      const double spread = Spread(k, fit);
      for (int kind = 0; kind < 2; ++kind) {
        const Group& group = groups_[k - 1][kind];
        const double centre = k * fit.unitSamples + (kind == 1 ? 1 : -1) * fit.stretchSamples;
        const double squares =
            group.squares - 2 * centre * group.sum + group.count * centre * centre;
        cost += squares / (spread * spread);
      }
    }
    return cost;
  }

 private:
  struct Group {
    double count = 0, sum = 0, squares = 0;
  };
  std::array<std::array<Group, 2>, kMostUnits> groups_{};
  double rejected_ = 0;
};

// The classes a protocol allows a run, as lengths in samples under one fit: the nearest class
// by spreads, or 0 when the run lies too far from it. Classification compares the run with the
// boundaries between neighbouring classes, so a pass over the runs costs no division.
class Classes {
 public:
  Classes(std::initializer_list<int> units, bool mark, const UnitFit& fit) {
    const double sign = mark ? 1.0 : -1.0;
    for (const int k : units) {
      Class& c = classes_[count_++];
      c.units = k;
      const double centre = k * fit.unitSamples + sign * fit.stretchSamples;
      const double reach = kAcceptSpreads * Spread(k, fit);
      c.low = centre - reach;
      c.high = centre + reach;
      c.centre = centre;
      c.spread = Spread(k, fit);
    }
    for (int i = 0; i + 1 < count_; ++i) {
      const Class& a = classes_[i];
      const Class& b = classes_[i + 1];
      classes_[i].upTo = (a.centre * b.spread + b.centre * a.spread) / (a.spread + b.spread);
    }
    classes_[count_ - 1].upTo = std::numeric_limits<double>::infinity();
  }

  // The class of a run of n samples, 0 when it fits none.
  int Of(int n) const {
    int i = 0;
    while (n > classes_[i].upTo) ++i;
    const Class& c = classes_[i];
    return n >= c.low && n <= c.high ? c.units : 0;
  }

 private:
  struct Class {
    int units = 0;
    double centre = 0, spread = 0, low = 0, high = 0, upTo = 0;
  };
  std::array<Class, 3> classes_{};
  int count_ = 0;
};

// Fits unit and stretch to the runs as a protocol classes them. Each start, a few percent
// around the estimate (with much jitter a start a little off can settle on a wrong
// classification), classes the runs in one pass and is solved from the sums; the fit that
// explains the runs best is classed once more and solved again. classOf(i, fit) is the class of
// run i under a fit, as ClassifierFor builds it.
template <class ClassifierFor>
std::optional<UnitFit> BestFit(const std::vector<SampleRun>& runs, const UnitFit& estimate,
                               const ClassifierFor& classifierFor) {
  const auto classed = [&runs, &classifierFor](const UnitFit& fit) {
    const auto classOf = classifierFor(fit);
    ClassSums sums;
    for (size_t i = 0; i < runs.size(); ++i) sums.Add(runs[i], classOf(i));
    return sums;
  };
  std::optional<UnitFit> best;
  double bestCost = 0;
  for (const double scale : {1.0, 0.96, 1.04, 0.92, 1.08, 0.88, 1.12, 0.84, 1.16}) {
    const ClassSums sums = classed({estimate.unitSamples * scale, estimate.stretchSamples});
    const std::optional<UnitFit> fit = sums.Solve();
    if (!fit) continue;
    const double cost = sums.Cost(*fit);
    if (!best || cost < bestCost) {
      best = fit;
      bestCost = cost;
    }
  }
  if (!best) return best;
  const std::optional<UnitFit> polished = classed(*best).Solve();
  return polished ? polished : best;
}

std::vector<Burst> SplitBursts(const RunList& list, SampleSpan span, const UnitFit& fit,
                               double separatorUnits) {
  const double longest = separatorUnits * fit.unitSamples - fit.stretchSamples;
  std::vector<Burst> bursts;
  Burst burst;
  burst.afterDark = list.leadingDark >= longest;
  burst.pressStart = span == SampleSpan::Recording;
  const auto close = [&](size_t end, bool beforeDark) {
    // A text that ends in light ends the burst with an inner gap: its end is not seen.
    if (end > burst.begin && !list.runs[end - 1].mark) {
      --end;
      beforeDark = false;
    }
    if (end <= burst.begin) return;
    burst.end = end;
    burst.beforeDark = beforeDark;
    bursts.push_back(burst);
  };
  for (size_t i = 0; i < list.runs.size(); ++i) {
    if (list.runs[i].mark || list.runs[i].samples < longest) continue;
    close(i, true);
    burst = Burst{i + 1, i + 1, true, false, false};
  }
  close(list.runs.size(), list.trailingDark >= longest);
  return bursts;
}

std::string BitsByRun(const Costs& costs) {
  std::string bits;
  for (const auto& cost : costs) bits += cost[1] < cost[0] ? '1' : '0';
  return bits;
}

std::array<double, 2> Choice(const SampleRun& run, int units0, int units1, const UnitFit& fit,
                             bool settling = false) {
  return {Cost(run, units0, fit, settling), Cost(run, units1, fit, settling)};
}

// ---- NEC ----

std::optional<UnitFit> FitNec(const RunList& list) {
  std::vector<double> marks, shortGaps, longGaps;
  for (const SampleRun& run : list.runs) {
    if (run.mark) marks.push_back(run.samples);
  }
  if (marks.size() < 8) return std::nullopt;
  const double mark = Median(marks);  // data marks far outnumber header marks
  for (const SampleRun& run : list.runs) {
    if (run.mark) continue;
    if (run.samples < 1.75 * mark) shortGaps.push_back(run.samples);
    else if (run.samples < 5 * mark) longGaps.push_back(run.samples);
  }
  UnitFit fit;
  if (shortGaps.size() >= 4) {
    const double gap = Median(shortGaps);
    fit = {(mark + gap) / 2, (mark - gap) / 2};
  } else if (longGaps.size() >= 4) {
    const double gap = Median(longGaps);
    fit.unitSamples = (mark + gap) / 4;
    fit.stretchSamples = mark - fit.unitSamples;
  } else {
    return std::nullopt;
  }
  const std::vector<SampleRun>& runs = list.runs;
  return BestFit(runs, fit, [&runs](const UnitFit& f) {
    const Classes marks({1}, true, f);
    const Classes gaps({1, 3}, false, f);
    return [&runs, marks, gaps](size_t i) {
      return (runs[i].mark ? marks : gaps).Of(runs[i].samples);
    };
  });
}

std::optional<Frame> ReadNec(const std::vector<SampleRun>& runs, const Burst& burst,
                             const UnitFit& fit) {
  if (!burst.beforeDark) return std::nullopt;
  Frame frame;
  size_t i = burst.begin;
  if (Nearest(runs[i], {1, 16}, fit) == 16) {
    // Only too long a header is refused: a watch window may begin inside it.
    if (Deviation(runs[i], 16, fit) > kAcceptSpreads || i + 1 >= burst.end) return std::nullopt;
    const int gapUnits = Nearest(runs[i + 1], {4, 8}, fit);
    if (!Fits(runs[i + 1], gapUnits, fit)) return std::nullopt;
    if (gapUnits == 4) {
      if (burst.end != i + 3 || !Fits(runs[i + 2], 1, fit)) return std::nullopt;
      frame.repeatCode = true;
      return frame;
    }
    i += 2;
  } else if (burst.afterDark) {
    // Without a header only the darkness before it shows the frame's start; a remote's first
    // frame always has one.
    frame.headerless = true;
  } else {
    return std::nullopt;
  }
  for (; i < burst.end; i += 2) {
    if (!Fits(runs[i], 1, fit)) return std::nullopt;
    if (i + 1 == burst.end) break;
    const auto cost = Choice(runs[i + 1], 1, 3, fit);
    if (std::min(cost[0], cost[1]) > kAcceptCost) return std::nullopt;
    frame.costs.push_back(cost);
  }
  if (frame.costs.size() < kShortestCode) return std::nullopt;
  frame.bits = BitsByRun(frame.costs);
  // Without a header, short spaces only are just as well the light of an RC5 frame of ones; a
  // NEC code always holds long spaces.
  if (frame.headerless && frame.bits.find('1') == std::string::npos) return std::nullopt;
  return frame;
}

// ---- SONY ----

std::optional<UnitFit> FitSony(const RunList& list) {
  std::vector<double> gaps;
  for (const SampleRun& run : list.runs) {
    if (!run.mark) gaps.push_back(run.samples);
  }
  if (gaps.size() < 6) return std::nullopt;
  // The one-unit gaps inside the frames far outnumber the pauses between them; a receiver
  // shortens them by a few percent of a unit.
  const double gap = Median(gaps);
  const UnitFit start{gap / 0.94, 0.06 * gap / 0.94};
  const std::vector<SampleRun>& runs = list.runs;
  return BestFit(runs, start, [&runs](const UnitFit& f) {
    const Classes marks({1, 2, 4}, true, f);
    const Classes gaps({1}, false, f);
    return [&runs, marks, gaps](size_t i) {
      return (runs[i].mark ? marks : gaps).Of(runs[i].samples);
    };
  });
}

std::optional<Frame> ReadSony(const std::vector<SampleRun>& runs, const Burst& burst,
                              const UnitFit& fit) {
  if (!burst.beforeDark) return std::nullopt;
  // After darkness a frame can only begin with its header, however short jitter made it; where
  // a window opens, a data mark of two units may stand first, so there the header must be nearer
  // four units than two.
  const SampleRun& header = runs[burst.begin];
  const double deviation = Deviation(header, 4, fit, true);
  const bool headerFirst = burst.afterDark || burst.pressStart;
  if (deviation > kAcceptSpreads ||
      (headerFirst ? deviation < -kAcceptSpreads : Nearest(header, {1, 2, 4}, fit) != 4)) {
    return std::nullopt;
  }
  Frame frame;
  for (size_t i = burst.begin + 1; i + 1 < burst.end; i += 2) {
    if (Cost(runs[i], 1, fit, i == burst.begin + 1) > kAcceptCost) return std::nullopt;
    const auto cost = Choice(runs[i + 1], 1, 2, fit);
    if (std::min(cost[0], cost[1]) > kAcceptCost) return std::nullopt;
    frame.costs.push_back(cost);
  }
  if (frame.costs.size() < kShortestCode) return std::nullopt;
  frame.bits = BitsByRun(frame.costs);
  return frame;
}

// ---- RC5 ----

// The half-bit count (1 or 2) of each run that makes a bi-phase frame of 14 bits at the lowest
// cost: the frame's light starts at half 1 (the first start bit's first half is dark), no run
// covers both halves of one bit, and the last mark ends at half 27 or 28. Empty when none does.
std::vector<int> Rc5Halves(const Costs& costs) {
  const size_t n = costs.size();
  if (n % 2 == 0 || n > kRc5MostRuns) return {};
  constexpr double kNone = std::numeric_limits<double>::infinity();
  using Row = std::array<double, kRc5Halves + 1>;
  std::vector<Row> best(n + 1);
  std::vector<std::array<int, kRc5Halves + 1>> taken(n + 1);
  for (Row& row : best) row.fill(kNone);
  best[0][1] = 0;
  for (size_t i = 0; i < n; ++i) {
    for (int at = 1; at <= kRc5Halves; ++at) {
      if (best[i][at] == kNone) continue;
      for (int halves = 1; halves <= 2; ++halves) {
        const int next = at + halves;
        if ((halves == 2 && at % 2 == 0) || next > kRc5Halves) continue;
        const double cost = best[i][at] + costs[i][halves - 1];
        if (cost < best[i + 1][next]) {
          best[i + 1][next] = cost;
          taken[i + 1][next] = halves;
        }
      }
    }
  }
  int at = best[n][27] <= best[n][28] ? 27 : 28;
  if (best[n][at] == kNone) return {};
  std::vector<int> halves(n);
  for (size_t i = n; i > 0; --i) {
    halves[i - 1] = taken[i][at];
    at -= halves[i - 1];
  }
  return halves;
}

std::string Rc5Bits(const std::vector<int>& halves) {
  std::string light(kRc5Halves, '0');
  int at = 1;
  for (size_t i = 0; i < halves.size(); ++i) {
    for (int h = 0; h < halves[i]; ++h) light[at++] = i % 2 == 0 ? '1' : '0';
  }
  std::string bits;
  for (int bit = 0; bit < kRc5Halves / 2; ++bit) bits += light[2 * bit + 1] == '1' ? '1' : '0';
  return bits;
}

std::string Rc5BitsOf(const Costs& costs) {
  const std::vector<int> halves = Rc5Halves(costs);
  return halves.empty() ? std::string() : Rc5Bits(halves);
}

std::optional<UnitFit> FitRc5(const RunList& list) {
  const std::vector<SampleRun>& runs = list.runs;
  if (runs.size() < 9) return std::nullopt;
  std::vector<double> lengths;
  for (const SampleRun& run : runs) lengths.push_back(run.samples);
  const double pause = 6 * Median(lengths);
  // A whole frame lasts 26 or 27 half bits from its first light to its last, whatever its bits
  // are; the longest burst between pauses is a whole frame where there is one.
  double longest = 0;
  double span = 0;
  for (const SampleRun& run : runs) {
    if (!run.mark && run.samples > pause) {
      span = 0;
      continue;
    }
    span += run.samples;
    if (run.mark) longest = std::max(longest, span);
  }
  const UnitFit start{longest / 26.5, 0};
  return BestFit(runs, start, [&runs, pause](const UnitFit& f) {
    const Classes marks({1, 2}, true, f);
    const Classes gaps({1, 2}, false, f);
    return [&runs, pause, marks, gaps](size_t i) {
      const bool afterPause = i == 0 || (!runs[i - 1].mark && runs[i - 1].samples > pause);
      if (runs[i].samples > pause || (runs[i].mark && afterPause)) return 0;
      return (runs[i].mark ? marks : gaps).Of(runs[i].samples);
    };
  });
}

std::optional<Frame> ReadRc5(const std::vector<SampleRun>& runs, const Burst& burst,
                             const UnitFit& fit) {
  // Without a header only the darkness before a frame, or the start of the press, shows where
  // it begins.
  if (!(burst.afterDark || burst.pressStart) || !burst.beforeDark ||
      burst.end - burst.begin > kRc5MostRuns) {
    return std::nullopt;
  }
  Frame frame;
  for (size_t i = burst.begin; i < burst.end; ++i) {
    frame.costs.push_back(Choice(runs[i], 1, 2, fit, i < burst.begin + 2));
  }
  const std::vector<int> halves = Rc5Halves(frame.costs);
  if (halves.empty()) return std::nullopt;
  for (size_t i = 0; i < halves.size(); ++i) {
    if (frame.costs[i][halves[i] - 1] > kAcceptCost) return std::nullopt;
  }
  frame.bits = Rc5Bits(halves);
  return frame;
}

// ---- reading a press ----

struct Protocol {
  int codingType;
  double separatorUnits;  // gaps of at least this many units separate frames
  std::optional<UnitFit> (*fit)(const RunList&);
  std::optional<Frame> (*read)(const std::vector<SampleRun>&, const Burst&, const UnitFit&);
  std::string (*bitsOf)(const Costs&);
};

// NEC's longest inner gap is its 8-unit header gap, SONY's a unit, RC5's two half bits.
const Protocol kProtocols[] = {
    {kBiPhase, 4, FitRc5, ReadRc5, Rc5BitsOf},
    {kPulseCoded, 3, FitSony, ReadSony, BitsByRun},
    {kGapCoded, 14, FitNec, ReadNec, BitsByRun},
};

size_t BitsApart(const std::string& a, const std::string& b) {
  size_t apart = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) apart += a[i] != b[i];
  return apart;
}

struct Reading {
  CanonicalDecode decode;
  double costPerRun = 0;
};

// Reads the press under one protocol: the first whole frame and the frames that repeat it.
std::optional<Reading> ReadAs(const Protocol& protocol, const RunList& list, SampleSpan span) {
  const std::optional<UnitFit> fit = protocol.fit(list);
  if (!fit) return std::nullopt;
  std::vector<Frame> frames;
  const std::vector<Burst> bursts = SplitBursts(list, span, *fit, protocol.separatorUnits);
  for (size_t b = 0; b < bursts.size(); ++b) {
    if (std::optional<Frame> frame = protocol.read(list.runs, bursts[b], *fit)) {
      frame->burst = b;
      frames.push_back(std::move(*frame));
    }
  }
  // The frames that repeat a frame: same length, at most a few bits apart.
  const auto repeatsOf = [&frames](const Frame& of) {
    std::vector<const Frame*> repeats;
    for (const Frame& frame : frames) {
      if (!frame.repeatCode && frame.costs.size() == of.costs.size() &&
          BitsApart(frame.bits, of.bits) <= kMostBitsApart) {
        repeats.push_back(&frame);
      }
    }
    return repeats;
  };
  // The code is the one most frames repeat, the earliest of equals.
  std::vector<const Frame*> repeats;
  size_t chosen = frames.size();
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].repeatCode) continue;
    std::vector<const Frame*> candidates = repeatsOf(frames[i]);
    if (candidates.size() > repeats.size()) {
      repeats = std::move(candidates);
      chosen = i;
    }
  }
  if (repeats.empty()) return std::nullopt;
  // A NEC frame without its header is sent only to repeat a frame: on its own it is as likely
  // an RC5 frame whose double runs jitter shortened.
  if (repeats.size() < 2 && repeats.front()->headerless) return std::nullopt;

  Reading reading;
  CanonicalDecode& decode = reading.decode;
  decode.codingType = protocol.codingType;
  decode.fit = *fit;
  // Whatever follows the frame, a repeat code or the frame again, may start with a header.
  const size_t next = frames[chosen].burst + 1;
  decode.headerFollows = protocol.codingType == kGapCoded && next < bursts.size() &&
                         Nearest(list.runs[bursts[next].begin], {1, 16}, *fit) == 16;
  const Frame* first = repeats.front();
  Costs summed(first->costs.size(), {0, 0});
  for (const Frame* frame : repeats) {
    for (size_t i = 0; i < summed.size(); ++i) {
      summed[i][0] += frame->costs[i][0];
      summed[i][1] += frame->costs[i][1];
    }
  }
  decode.code = protocol.bitsOf(summed);
  if (decode.code.empty()) decode.code = first->bits;
  decode.frames = static_cast<int>(repeats.size());
  decode.repeated = std::count_if(repeats.begin(), repeats.end(), [&](const Frame* frame) {
                      return frame->bits == decode.code;
                    }) >= 2;
  double cost = 0;
  for (const auto& choice : summed) cost += std::min(choice[0], choice[1]);
  reading.costPerRun = cost / static_cast<double>(summed.size() * repeats.size());
  return reading;
}

}  // namespace

RunList ExtractRuns(std::string_view sampleText) {
  RunList list;
  size_t pos = sampleText.find('1');
  list.leadingDark = static_cast<int>(std::min(pos, sampleText.size()));
  while (pos < sampleText.size()) {
    const char level = sampleText[pos];
    size_t end = pos;
    while (end < sampleText.size() && sampleText[end] == level) ++end;
    if (end == sampleText.size()) {
      if (level == '0') list.trailingDark = static_cast<int>(end - pos);
      break;
    }
    list.runs.push_back({level == '1', static_cast<int>(end - pos)});
    pos = end;
  }
  return list;
}

std::optional<CanonicalDecode> CanonicalDecodeSamples(std::string_view sampleText,
                                                      SampleSpan span) {
  if (span == SampleSpan::Window) sampleText = sampleText.substr(0, kWatchedSamples);
  const RunList list = ExtractRuns(sampleText);
  std::optional<Reading> best;
  for (const Protocol& protocol : kProtocols) {
    std::optional<Reading> reading = ReadAs(protocol, list, span);
    if (!reading) continue;
    // More whole frames explain more of the press; among equals, the closer fit wins.
    if (!best || reading->decode.frames > best->decode.frames ||
        (reading->decode.frames == best->decode.frames &&
         reading->costPerRun < best->costPerRun)) {
      best = std::move(reading);
    }
  }
  if (!best) return std::nullopt;
  return best->decode;
}

}  // namespace qvx::ircode
