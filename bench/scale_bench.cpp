// Many PIN pads on one host thread: K controls on one AsioHost, each against
// its own emulated pad (the pads in child processes, paced at 19,200 baud),
// each running the connection test, the table update and a chip purchase.
// Per K it prints the total time, the reply-to-ACK times (to the ACK's
// arrival at the pad's socket, by the kernel's stamp; and to the pads'
// process reading it), the control thread's CPU per pad, its deepest stack, the process's peak RSS,
// the sessions that ended in an error or timeout, and the CPU both sides used against the run's
// time and the machine's load; then the targets, met or MISS.
//
//   scale_bench [--pads K[,K...]] [--tick-us T] [--spread-ms S] [--pads-nice N]
//               [--pads-idle] [--pads-per-process P]
//   defaults 1,100,1000; 5000; 0 (all sessions start at once); 10; 500
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/scale/pad_farm.h"
#include "bench/scale/pad_session.h"
#include "cli/demo_pad.h"
#include "cli/demo_terminal.h"
#include "korvex/asio_host.h"
#include "korvex/json_terminal.h"
#include "korvex/memory_registry.h"

namespace korvex::bench {
namespace {

using Clock = std::chrono::steady_clock;

const char* const kRegistryKey = "Software\\Korvex\\";
const char* const kPadsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvex\\PinPads\\";
// Pads per child process by default: the pads' work spreads over the
// machine's cores, and each process stays well within its open-file limit.
// Each process wakes on its own tick, so fewer, fuller processes cost less
// when the sessions are spread out (at K=10,000 over a minute, 20 processes
// took 81 CPU-seconds, 2 took 35); but with every session at once, two
// processes at nice +10 fall seconds behind and the controls time out.
constexpr int kDefaultPadsPerFarm = 500;
// The pads' shared tick by default: each pad's due bytes leave at the first
// tick at or after their wire time, in one write.
constexpr int64_t kDefaultTickUs = 5000;
// Sockets of the process besides one per pad: standard streams, pipes, the
// host's own descriptors.
constexpr rlim_t kSpareFiles = 64;
// Controls started per round of the loop, so that the pads' listen queue is
// not flooded.
constexpr int kStartBatch = 200;
// The pads' processes run this much below the control: they stand in for
// separate hardware and must not take the cores the control under test needs.
constexpr int kDefaultPadsNice = 10;

struct Figures {
  int pads = 0;
  double totalS = 0;
  uint64_t acks = 0;
  int64_t p50Us = 0, p99Us = 0, maxUs = 0;  // to the ACK's arrival
  int64_t readP50Us = 0, readP99Us = 0;     // to the pads' process reading it
  uint64_t unstamped = 0;
  int niceness = 0;
  bool idleClass = false;
  uint64_t violations = 0;
  uint64_t naks = 0;
  std::string farmError;
  std::string firstViolation;
  int farms = 0;
  double padsCpuS = 0;  // CPU time of the pads' processes
  double cpuPerPadMs = 0;
  double controlCpuS = 0;             // CPU time of the control's thread
  std::string loadBefore, loadAfter;  // the machine's load averages
  size_t stackBytes = 0;
  long rssKb = 0;
  int timeouts = 0;
  int64_t longestEventUs = 0;  // the longest event the loop delivered
  uint64_t events = 0;
  long preemptions = 0;  // of the control's thread
  std::string firstFailure;
};

// CPU time of the child processes reaped so far.
double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times the control's thread was taken off its core while it could run:
// an event that long for that reason is the machine's, not the control's.
long ThreadPreemptions() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nivcsw;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Peak resident set of this process, kB; resettable so that each K has its own.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}
void ResetPeakRss() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// The machine's 1, 5 and 15 minute load averages: other work on the cores
// shows in every figure.
std::string LoadAverages() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(in >> one >> five >> fifteen)) return "unknown";
  return one + " " + five + " " + fifteen;
}

// Raises the soft open-file limit to the hard one; returns the limit now.
rlim_t RaiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    std::printf("open files: the limit cannot be read (%s)\n", std::strerror(errno));
    return 1024;
  }
  const rlim_t before = limit.rlim_cur;
  if (before == limit.rlim_max) {
    std::printf(
        "open files: already at the hard limit %lu, per process (the pads run in a "
        "process of their own)\n",
        static_cast<unsigned long>(before));
    return before;
  }
  limit.rlim_cur = limit.rlim_max;
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
    std::printf("open files: cannot raise %lu to the hard limit %lu (%s)\n",
                static_cast<unsigned long>(before), static_cast<unsigned long>(limit.rlim_max),
                std::strerror(errno));
    return before;
  }
  std::printf(
      "open files: raised from %lu to the hard limit %lu, per process (the pads run in a "
      "process of their own)\n",
      static_cast<unsigned long>(before), static_cast<unsigned long>(limit.rlim_max));
  return limit.rlim_max;
}

// The longest event the loop delivered: the time from the loop's look at the
// queue, with an event waiting, to its next look, which is one event's run
// (the control's handler with every yield inside it). The host's predicate
// is asked after every step, so each step is seen.
struct LongestEvent {
  Clock::time_point last{};
  bool delivering = false;
  Clock::duration longest{};
  uint64_t events = 0;
  void Look(const AsioHost& host) {
    const auto now = Clock::now();
    if (delivering) {
      longest = std::max(longest, now - last);
      ++events;
    }
    delivering = host.PendingEvents() > 0;
    last = now;
  }
};

struct Options {
  std::vector<int> pads;
  int64_t tickUs = kDefaultTickUs;
  int64_t spreadMs = 0;  // sessions start at random offsets in [0, spreadMs)
  int padsNice = kDefaultPadsNice;
  int padsPerFarm = kDefaultPadsPerFarm;
  bool padsIdle = false;  // the pads' processes in the idle scheduling class
};

// Start offsets in microseconds, uniformly random in [0, spreadMs) ms, in the
// order they come, with each session's number; the same in every run. (Built
// here, not where the sessions start: the generator's state would deepen the
// stack the control's events are measured on.)
std::vector<std::pair<int64_t, size_t>> SpreadStarts(size_t sessions, int64_t spreadMs) {
  std::mt19937_64 random(20261207);
  std::uniform_int_distribution<int64_t> offset(0, spreadMs * 1000 - 1);
  std::vector<std::pair<int64_t, size_t>> order;
  for (size_t i = 0; i < sessions; ++i) order.emplace_back(offset(random), i);
  std::sort(order.begin(), order.end());
  return order;
}

// Starts every session: all at once (in batches, for the pads' listen
// queue), or each at its own uniformly random offset in [0, spreadMs) ms from
// `start`, the host's loop running in between.
void StartSessions(AsioHost& host, std::vector<std::unique_ptr<PadSession>>& sessions,
                   int64_t spreadMs, Clock::time_point start, LongestEvent& longest) {
  if (spreadMs <= 0) {
    for (size_t i = 0; i < sessions.size(); ++i) {
      sessions[i]->Start();
      if ((i + 1) % kStartBatch == 0) host.RunFor(std::chrono::milliseconds(5));
    }
    return;
  }
  for (const auto& [us, i] : SpreadStarts(sessions.size(), spreadMs)) {
    const auto due = start + std::chrono::microseconds(us);
    while (Clock::now() < due) {
      host.RunUntil(
          [&] {
            longest.Look(host);
            return Clock::now() >= due;
          },
          std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()));
    }
    sessions[i]->Start();
  }
}

Figures Run(int pads, const Options& options, JsonTerminal& terminal,
            const emu::PadState& padState) {
  Figures f;
  f.pads = pads;
  // The farms first: they fork, and the host must not exist yet.
  std::vector<std::unique_ptr<PadFarm>> farms;
  // Session i talks to farm i % n, so the farms share the start evenly.
  const int n = (pads + options.padsPerFarm - 1) / options.padsPerFarm;
  for (int f = 0; f < n; ++f) {
    farms.push_back(std::make_unique<PadFarm>(padState, (pads - f + n - 1) / n, options.tickUs,
                                              options.padsNice, options.padsIdle));
  }
  AsioHost host;
  auto registry = std::make_unique<MemoryRegistry>();
  for (size_t i = 0; i < farms.size(); ++i) {
    const std::string key = kPadsKey + std::string("SCALE") + std::to_string(i);
    registry->SetValue(key, "RouterHost", "127.0.0.1");
    registry->SetValue(key, "RouterPort", std::to_string(farms[i]->Port()));
  }
  host.SetRegistry(std::move(registry));

  StackProbe probe;
  char base = 0;
  std::vector<std::unique_ptr<PadSession>> sessions;
  for (int i = 0; i < pads; ++i) {
    const std::string name = "SCALE" + std::to_string(i % farms.size());
    sessions.push_back(std::make_unique<PadSession>(host, terminal, kRegistryKey, name, probe));
  }
  ResetPeakRss();
  f.loadBefore = LoadAverages();
  const double cpu0 = ThreadCpuSeconds();
  const long preempted0 = ThreadPreemptions();
  const auto start = Clock::now();
  LongestEvent longest;
  StartSessions(host, sessions, options.spreadMs, start, longest);
  // Generous: a paced run of one pad takes a few seconds.
  const auto limit = std::chrono::seconds(120) + std::chrono::milliseconds(30) * pads +
                     std::chrono::milliseconds(options.spreadMs);
  size_t next = 0;  // sessions before this one are done
  host.RunUntil(
      [&] {
        longest.Look(host);
        while (next < sessions.size() && sessions[next]->Done()) ++next;
        return next == sessions.size();
      },
      std::chrono::duration_cast<std::chrono::milliseconds>(limit));
  f.totalS = std::chrono::duration<double>(Clock::now() - start).count();
  f.controlCpuS = ThreadCpuSeconds() - cpu0;
  f.cpuPerPadMs = f.controlCpuS * 1000.0 / pads;
  f.loadAfter = LoadAverages();
  f.longestEventUs = std::chrono::duration_cast<std::chrono::microseconds>(longest.longest).count();
  f.events = longest.events;
  f.preemptions = ThreadPreemptions() - preempted0;
  f.stackBytes =
      probe.lowest == UINTPTR_MAX ? 0 : reinterpret_cast<uintptr_t>(&base) - probe.lowest;
  f.rssKb = PeakRssKb();
  for (const auto& s : sessions) {
    if (s->Done() && !s->Failed()) continue;
    ++f.timeouts;
    if (f.firstFailure.empty()) f.firstFailure = s->Failed() ? s->Failure() : "not done in time";
  }
  // Nothing more runs on this host: a step posted for a session that timed
  // out is dropped with the host, never run on a session already gone.
  sessions.clear();
  std::vector<int64_t> acks, reads;
  const double childCpu0 = ChildrenCpuSeconds();
  f.farms = static_cast<int>(farms.size());
  for (auto& farm : farms) {
    FarmReport report = farm->Finish();
    acks.insert(acks.end(), report.ackUs.begin(), report.ackUs.end());
    reads.insert(reads.end(), report.ackReadUs.begin(), report.ackReadUs.end());
    f.unstamped += report.unstamped;
    f.niceness = report.niceness;
    f.idleClass = report.idleClass;
    f.violations += report.violations;
    f.naks += report.naks;
    if (f.farmError.empty()) f.farmError = report.error;
    if (f.firstViolation.empty()) f.firstViolation = report.firstViolation;
  }
  f.padsCpuS = ChildrenCpuSeconds() - childCpu0;
  std::sort(acks.begin(), acks.end());
  std::sort(reads.begin(), reads.end());
  auto at = [](const std::vector<int64_t>& v, double q) {
    return v[static_cast<size_t>(q * double(v.size() - 1))];
  };
  f.acks = acks.size();
  if (!acks.empty()) f.p50Us = at(acks, 0.5), f.p99Us = at(acks, 0.99), f.maxUs = acks.back();
  if (!reads.empty()) f.readP50Us = at(reads, 0.5), f.readP99Us = at(reads, 0.99);
  return f;
}

void Print(const Figures& f) {
  std::printf(
      "K=%-6d total %8.2f s | ACK p50 %7.3f ms p99 %7.3f ms max %7.3f ms (%llu ACKs, %llu NAKs) | "
      "CPU/pad %7.3f ms | stack %6zu B | RSS %7.1f MB | timeouts %d\n"
      "         ACK read by the pads' process: p50 %.3f ms p99 %.3f ms; %llu ACKs without a "
      "kernel stamp\n",
      f.pads, f.totalS, f.p50Us / 1000.0, f.p99Us / 1000.0, f.maxUs / 1000.0,
      static_cast<unsigned long long>(f.acks), static_cast<unsigned long long>(f.naks),
      f.cpuPerPadMs, f.stackBytes, f.rssKb / 1024.0, f.timeouts, f.readP50Us / 1000.0,
      f.readP99Us / 1000.0, static_cast<unsigned long long>(f.unstamped));
  // Both sides' CPU against the run's time: more than the machine's cores
  // can give in that time and the delays are a wait for a core.
  std::printf(
      "         CPU: control %.2f s + pads %.2f s (%d process(es), nice %d%s) = %.2f s in %.2f s, "
      "%.2f cores' worth; load average %s before, %s after\n",
      f.controlCpuS, f.padsCpuS, f.farms, f.niceness, f.idleClass ? ", idle class" : "",
      f.controlCpuS + f.padsCpuS, f.totalS, (f.controlCpuS + f.padsCpuS) / f.totalS,
      f.loadBefore.c_str(), f.loadAfter.c_str());
  std::printf(
      "         events: %llu delivered by the loop, the longest %.3f ms; the control's thread "
      "preempted %ld times\n",
      static_cast<unsigned long long>(f.events), f.longestEventUs / 1000.0, f.preemptions);
  if (!f.farmError.empty()) std::printf("         pads: %s\n", f.farmError.c_str());
  if (f.violations) {
    std::printf("         pads recorded %llu protocol violations\n",
                static_cast<unsigned long long>(f.violations));
    std::printf("         first: %s\n", f.firstViolation.c_str());
  }
  if (!f.firstFailure.empty()) std::printf("         first failure: %s\n", f.firstFailure.c_str());
  std::fflush(stdout);
}

// The targets: 10,000 pads, p99 ACK within 1 ms, no timeouts, and a stack no
// deeper with many pads than with the fewest (within 1 kB of frames that
// differ only in which of the control's own paths ran).
void PrintTargets(const std::vector<Figures>& all, const std::vector<int>& skipped) {
  const auto ok = [](bool met) { return met ? "met " : "MISS"; };
  int most = 0;
  for (const auto& f : all) most = std::max(most, f.pads);
  std::printf("targets:\n  %s 10000 pads run (largest K run: %d", ok(most >= 10000), most);
  for (int k : skipped) std::printf("; K=%d skipped", k);
  std::printf(")\n");
  size_t fewestStack = all.empty() ? 0 : all.front().stackBytes;
  for (const auto& f : all) {
    std::printf(
        "  K=%-6d %s p99 ACK <= 1 ms (%.3f ms)  %s 0 timeouts (%d)  %s stack independent "
        "of K (%zu B vs %zu B at K=%d)\n",
        f.pads, ok(f.acks > 0 && f.p99Us <= 1000), f.p99Us / 1000.0, ok(f.timeouts == 0),
        f.timeouts, ok(f.stackBytes <= fewestStack + 1024), f.stackBytes, fewestStack,
        all.front().pads);
  }
}

bool ParsePadList(const std::string& list, std::vector<int>& pads) {
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    const long k = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || k < 1 || k > 1000000) return false;
    pads.push_back(static_cast<int>(k));
  }
  std::sort(pads.begin(), pads.end());
  return !pads.empty();
}

bool ParseOptions(int argc, char** argv, Options& options) {
  std::string list = "1,100,1000";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pads" && i + 1 < argc) {
      list = argv[++i];
    } else if (arg.rfind("--pads=", 0) == 0) {
      list = arg.substr(7);
    } else if (arg == "--tick-us" && i + 1 < argc) {
      char* end = nullptr;
      options.tickUs = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || options.tickUs < 1 || options.tickUs > 100000) return false;
    } else if (arg == "--spread-ms" && i + 1 < argc) {
      char* end = nullptr;
      options.spreadMs = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || options.spreadMs < 0 || options.spreadMs > 3600000) return false;
    } else if (arg == "--pads-nice" && i + 1 < argc) {
      char* end = nullptr;
      options.padsNice = static_cast<int>(std::strtol(argv[++i], &end, 10));
      if (*end != '\0' || options.padsNice < 0 || options.padsNice > 19) return false;
    } else if (arg == "--pads-idle") {
      options.padsIdle = true;
    } else if (arg == "--pads-per-process" && i + 1 < argc) {
      char* end = nullptr;
      options.padsPerFarm = static_cast<int>(std::strtol(argv[++i], &end, 10));
      if (*end != '\0' || options.padsPerFarm < 1 || options.padsPerFarm > 1000000) return false;
    } else {
      return false;
    }
  }
  return ParsePadList(list, options.pads);
}

int Main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: scale_bench [--pads K[,K...]] [--tick-us T] [--spread-ms S] "
                 "[--pads-nice N] [--pads-idle] [--pads-per-process P]\n"
                 "  K from 1 to 1000000; T from 1 to 100000 us, default %lld; S from 0 to "
                 "3600000 ms, default 0 (all at once); N from 0 to 19, default %d; P from 1 to "
                 "1000000, default %d\n",
                 static_cast<long long>(kDefaultTickUs), kDefaultPadsNice, kDefaultPadsPerFarm);
    return 2;
  }
  const std::vector<int>& pads = options.pads;
  const rlim_t files = RaiseFileLimit();
  std::string error;
  auto terminal = JsonTerminal::FromText(cli::DemoTerminalJson(), "terminal.json (bundled)", error);
  if (!terminal) {
    std::fprintf(stderr, "scale_bench: %s\n", error.c_str());
    return 1;
  }
  const emu::PadState padState = cli::OldTablesPad(cli::KeyChecksum(*terminal));
  std::printf(
      "pads: 19,200 baud; each pad's bytes leave at the first %lld us tick at or after their "
      "wire time, never before\n"
      "ACK time: from the pad's write of a reply's last byte to the control's ACK reaching the "
      "pad's socket, by the kernel's receive stamp (SO_TIMESTAMPNS; both on CLOCK_REALTIME); "
      "also to the pads' process reading it\n"
      "sessions start %s; the pads' processes run at nice +%d%s\n",
      static_cast<long long>(options.tickUs),
      options.spreadMs > 0
          ? ("each at a random offset in [0, " + std::to_string(options.spreadMs) + ") ms").c_str()
          : "all at once",
      options.padsNice,
      options.padsIdle ? ", in the idle scheduling class (CPU time the control leaves)" : "");
  std::vector<Figures> all;
  std::vector<int> skipped;
  for (int k : pads) {
    if (static_cast<rlim_t>(k) + kSpareFiles > files) {
      std::printf("K=%-6d skipped: needs about %lu open files per process, the limit is %lu\n", k,
                  static_cast<unsigned long>(k + kSpareFiles), static_cast<unsigned long>(files));
      skipped.push_back(k);
      continue;
    }
    all.push_back(Run(k, options, *terminal, padState));
    Print(all.back());
  }
  PrintTargets(all, skipped);
  return 0;
}

}  // namespace
}  // namespace korvex::bench

int main(int argc, char** argv) {
  return korvex::bench::Main(argc, argv);
}
