// Taps of real remotes played on a simulated receiver on the real clock, watched by a qvxctl
// monitor started as its own process, as a user or a service runs it. Prints, for each family,
// the taps named right once, fired twice, named wrong and lost, the latency from the end of a
// tap's first frame to the printed line, and the monitor's share of a core while no key is
// pressed. Any qvxctl that reads QVX_SIM_PRESSES can be measured, so that two versions can be
// set side by side; the port (sim:ir, or another simulated receiver) is a parameter.
//
//   bench_monitor_taps --qvxctl PATH [--taps N] [--idle-s S] [--port TARGET] [--itype N]
//                      [--set tune|report|both] [--seed N] [--label TEXT]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/monitor/tapset.h"

extern char** environ;

namespace {

namespace sim = qvx::ircode::sim;
using qvx::bench::BenchPress;
using qvx::bench::PressLength;

constexpr double kJitterPercent = 10;
constexpr int kTapSpacingMs = 1200;
// qvxctl prints a command's line when the tick returns, after the pause that follows the
// dispatch; the executor ran that much earlier.
constexpr double kPrintedAfterMs = 300;

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &now);  // the clock the monitor's simulated remote runs on
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

struct Options {
  std::string qvxctl;
  int tapsPerFamily = 24;
  int idleSeconds = 10;
  std::string port = "sim:ir";
  int itype = 0;
  std::string set = "both";
  unsigned seed = 23;
  std::string label;
};

// One tap on the timeline.
struct Tap {
  BenchPress press;
  std::string event;
  int64_t startUs;                  // from time 0 of the press script
  std::vector<int64_t> linesNs;     // arrival of the monitor's lines, from time 0
  std::vector<std::string> events;  // and the events they name
};

// Taps of every family in turn, short and long taps alternating, of remotes of the tune set, the
// report set or both in turn.
std::vector<Tap> MakeTimeline(const Options& options, std::mt19937& rng) {
  std::vector<BenchPress> presses;
  for (int i = 0; i < options.tapsPerFamily; ++i) {
    const bool tune = options.set == "tune" || (options.set == "both" && i / 2 % 2 == 0);
    for (const qvx::bench::TapFamily& family : qvx::bench::TapFamilies()) {
      presses.push_back(qvx::bench::MakeBenchPress(
          family, tune ? sim::RemoteSet::Tune : sim::RemoteSet::Report,
          i % 2 == 0 ? PressLength::Tap : PressLength::LongTap, kJitterPercent, rng));
    }
  }
  const std::vector<std::string> events = qvx::bench::ExpectedEvents(presses);
  std::vector<Tap> taps;
  int64_t atUs = int64_t{options.idleSeconds} * 1'000'000;
  for (std::size_t i = 0; i < presses.size(); ++i) {
    taps.push_back({presses[i], events[i], atUs, {}, {}});
    atUs += kTapSpacingMs * 1000;
  }
  return taps;
}

std::string PressScript(const std::vector<Tap>& taps) {
  std::ostringstream script;
  script << "# taps: at ms, then light and dark in us\n";
  for (const Tap& tap : taps) {
    script << tap.startUs / 1000;
    for (const double us : qvx::bench::ReceivedDurationsUs(tap.press))
      script << ' ' << std::max<long>(1, std::lround(us));
    script << '\n';
  }
  return script.str();
}

// Processor time of a process in nanoseconds, from its CPU-time clock; -1 when unreadable.
int64_t ProcessCpuNs(pid_t pid) {
  clockid_t clock{};
  timespec used{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) return -1;
  return int64_t{used.tv_sec} * 1'000'000'000 + used.tv_nsec;
}

struct Monitor {
  pid_t pid = -1;
  int out = -1;  // the read end of its standard output
};

Monitor Spawn(const Options& options, const std::filesystem::path& dir) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    if (!text.starts_with("QVX_")) env.push_back(text);
  }
  env.push_back("QVX_COM1=" + options.port);
  env.push_back("QVX_SIM_PRESSES=" + (dir / "presses").string());
  env.push_back("QVX_AUDIO_DEVICE=none");
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {options.qvxctl, "--config", (dir / "pelgrin.cfg").string(),
                                   "monitor"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  const std::string errPath = (dir / "stderr").string();
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Monitor monitor;
  if (posix_spawn(&monitor.pid, options.qvxctl.c_str(), &actions, nullptr, argv.data(),
                  envp.data()) != 0) {
    monitor.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  monitor.out = pipeFds[0];
  return monitor;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}

struct Counts {
  int taps = 0, right = 0, twice = 0, wrong = 0, lost = 0;
  std::vector<double> latenciesMs;
  void Add(const Tap& tap) {
    ++taps;
    const bool anyWrong = std::any_of(tap.events.begin(), tap.events.end(),
                                      [&](const std::string& e) { return e != tap.event; });
    if (anyWrong) {
      ++wrong;
    } else if (tap.events.size() > 1) {
      ++twice;
    } else if (tap.events.size() == 1) {
      ++right;
      latenciesMs.push_back((static_cast<double>(tap.linesNs[0]) / 1000 - static_cast<double>(tap.startUs) -
                             tap.press.firstFrameEndUs) / 1000 - kPrintedAfterMs);
    } else {
      ++lost;
    }
  }
};

void PrintRow(const char* name, const Counts& c) {
  std::printf("  %-26s %5d %6d %6d %6d %6d  %7.1f %7.1f\n", name, c.taps, c.right, c.twice,
              c.wrong, c.lost, Percentile(c.latenciesMs, 0.5), Percentile(c.latenciesMs, 0.9));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--qvxctl") options.qvxctl = value;
    else if (key == "--taps") options.tapsPerFamily = std::max(1, std::atoi(value.c_str()));
    else if (key == "--idle-s") options.idleSeconds = std::max(3, std::atoi(value.c_str()));
    else if (key == "--port") options.port = value;
    else if (key == "--itype") options.itype = std::atoi(value.c_str());
    else if (key == "--set") options.set = value;
    else if (key == "--seed") options.seed = static_cast<unsigned>(std::atoi(value.c_str()));
    else if (key == "--label") options.label = value;
  }
  if (options.qvxctl.empty()) {
    std::fprintf(stderr, "usage: bench_monitor_taps --qvxctl PATH [--taps N] [--idle-s S] "
                         "[--port TARGET] [--itype N] [--set tune|report|both] [--seed N] "
                         "[--label TEXT]\n");
    return 2;
  }
  std::mt19937 rng(options.seed);
  std::vector<Tap> taps = MakeTimeline(options, rng);

  char dirTemplate[] = "/tmp/bench_monitor_taps.XXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  const std::filesystem::path dir = dirTemplate;
  std::vector<BenchPress> presses;
  for (const Tap& tap : taps) presses.push_back(tap.press);
  std::ofstream(dir / "pelgrin.cfg", std::ios::binary)
      << qvx::bench::BenchConfiguration(presses, options.itype, 55);
  // The script goes through a pipe, so that the monitor's time 0, when it has read the script,
  // is the moment the last byte was taken, give or take the parsing of one pipe's worth.
  if (mkfifo((dir / "presses").c_str(), 0600) != 0) return 1;

  Monitor monitor = Spawn(options, dir);
  if (monitor.pid < 0) {
    std::fprintf(stderr, "cannot start %s\n", options.qvxctl.c_str());
    return 1;
  }
  {
    const std::string script = PressScript(taps);
    const int fifo = open((dir / "presses").c_str(), O_WRONLY);
    for (std::size_t at = 0; fifo >= 0 && at < script.size();) {
      const ssize_t written = write(fifo, script.data() + at, script.size() - at);
      if (written <= 0) break;
      at += static_cast<std::size_t>(written);
    }
    if (fifo >= 0) close(fifo);
  }
  const int64_t zeroNs = NowNs();

  // Idle share: from 2 s in (after the start's checks) to half a second before the first tap.
  const int64_t idleFromNs = zeroNs + 2'000'000'000LL;
  const int64_t idleToNs = zeroNs + options.idleSeconds * 1'000'000'000LL - 500'000'000LL;
  const int64_t endNs = zeroNs + taps.back().startUs * 1000 + 2'000'000'000LL;
  int64_t idleCpuFrom = -1, idleCpuTo = -1, idleWallNs = 0, idleWallFromNs = 0;
  std::string pending;
  std::vector<std::pair<int64_t, std::string>> lines;
  bool open = true;
  while (NowNs() < endNs && open) {
    const int64_t nowNs = NowNs();
    if (idleCpuFrom < 0 && nowNs >= idleFromNs) {
      idleCpuFrom = ProcessCpuNs(monitor.pid);
      idleWallFromNs = nowNs;
    }
    if (idleCpuTo < 0 && nowNs >= idleToNs) {
      idleCpuTo = ProcessCpuNs(monitor.pid);
      idleWallNs = nowNs - idleWallFromNs;
    }
    pollfd entry{monitor.out, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0) continue;
    char buffer[4096];
    const ssize_t got = read(monitor.out, buffer, sizeof buffer);
    const int64_t atNs = NowNs() - zeroNs;
    if (got <= 0) {
      open = false;
      break;
    }
    pending.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t newline; (newline = pending.find('\n')) != std::string::npos;) {
      lines.emplace_back(atNs, pending.substr(0, newline));
      pending.erase(0, newline + 1);
    }
  }
  kill(monitor.pid, SIGTERM);
  int status = 0;
  waitpid(monitor.pid, &status, 0);
  close(monitor.out);

  // Each line belongs to the tap whose spacing it falls in.
  for (const auto& [atNs, line] : lines) {
    const int64_t atUs = atNs / 1000;
    for (auto tap = taps.rbegin(); tap != taps.rend(); ++tap) {
      if (atUs < tap->startUs) continue;
      tap->linesNs.push_back(atNs);
      tap->events.push_back(line.substr(0, line.find('\t')));
      break;
    }
  }
  std::map<std::string, Counts> byRow;
  Counts all;
  for (const Tap& tap : taps) {
    const bool tune = tap.press.set == sim::RemoteSet::Tune;
    byRow[std::string(tap.press.family->device) + (tune ? ", tune" : ", report") +
          (tap.press.length == PressLength::Tap ? ", tap" : ", long tap")]
        .Add(tap);
    all.Add(tap);
  }

  const double idleShare = idleCpuFrom >= 0 && idleCpuTo >= 0 && idleWallNs > 0
                               ? 100.0 * static_cast<double>(idleCpuTo - idleCpuFrom) / static_cast<double>(idleWallNs)
                               : -1;
  std::printf("%s: %s on %s, %d taps %.1f s apart, remotes of the %s set%s, jitter %.0f %%, seed %u\n",
              options.label.empty() ? "taps" : options.label.c_str(), options.qvxctl.c_str(),
              options.port.c_str(), all.taps, kTapSpacingMs / 1000.0, options.set.c_str(),
              options.set == "both" ? "s" : "", kJitterPercent, options.seed);
  std::printf("  %-26s %5s %6s %6s %6s %6s  %7s %7s\n", "family, set, press", "taps", "right", "twice",
              "wrong", "lost", "med ms", "p90 ms");
  for (const auto& [name, counts] : byRow) PrintRow(name.c_str(), counts);
  PrintRow("all", all);
  std::printf("  idle monitor: %.1f %% of a core; exit status %d\n", idleShare,
              WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  std::printf("  (right: one line naming the tap's key; twice: more than one; wrong: a line naming "
              "another key or UNKNOWN; latency: end of the tap's first frame to the executor)\n");
  // One line for scripts that set runs side by side.
  std::printf("RESULT %s taps=%d right=%d twice=%d wrong=%d lost=%d idle=%.1f latmed=%.0f latp90=%.0f\n",
              options.label.empty() ? "-" : options.label.c_str(), all.taps, all.right, all.twice,
              all.wrong, all.lost, idleShare, Percentile(all.latenciesMs, 0.5),
              Percentile(all.latenciesMs, 0.9));
  std::filesystem::remove_all(dir);
  return 0;
}
