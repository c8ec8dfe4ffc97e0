// korvex-router beside general-purpose relays on the same loop: a TCP client
// -> the relay -> a pseudo-terminal whose far end echoes every byte. Each
// relay runs as a child process started here; one missing from PATH is
// skipped with a note. Reported: one-byte round-trip latency (p50, p99) and
// echoed throughput, then korvex-router's figures as ratios to the best other.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRoundTrips = 5000;
constexpr size_t kThroughputBytes = 4u << 20;

struct Result {
  std::string relay;
  double p50Us = 0, p99Us = 0, mbPerS = 0;
};

// The pad: a pseudo-terminal master that sends back whatever arrives.
class EchoPad {
 public:
  EchoPad() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    // Raw before any relay opens it, so that nothing is echoed by the driver.
    const int slave = open(path_.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    keeper_ = slave;  // the master would read EIO between relays otherwise
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoPad() {
    stop_ = true;
    thread_.join();
    close(keeper_);
    close(master_);
  }
  const std::string& Path() const { return path_; }

 private:
  // Non-blocking, so that a relay gone with bytes in flight cannot leave the
  // thread stuck in a write.
  void Run() {
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    char buffer[65536];
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = read(master_, buffer, sizeof buffer);
      for (ssize_t sent = 0; n > 0 && sent < n && !stop_;) {
        const ssize_t w = write(master_, buffer + sent, size_t(n - sent));
        if (w > 0) sent += w;
        pollfd out{master_, POLLOUT, 0};
        if (w < 0 && errno == EAGAIN) poll(&out, 1, 100);
        if (w < 0 && errno != EAGAIN) break;
      }
    }
  }

  int master_ = -1, keeper_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::optional<std::string> FindInPath(const std::string& name) {
  const char* path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/usr/sbin";
  dirs += ":/usr/sbin:/sbin";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

pid_t Spawn(const std::vector<std::string>& argv) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

// A connected client, retried while the relay starts; -1 after 5 s.
int Connect(int port) {
  for (int i = 0; i < 100; ++i) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      const int one = 1;
      setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return s;
    }
    close(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

bool ReadExactly(int s, char* to, size_t n) {
  for (size_t got = 0; got < n;) {
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    const ssize_t r = read(s, to + got, n - got);
    if (r <= 0) return false;
    got += size_t(r);
  }
  return true;
}

double Percentile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

bool MeasureLatency(int s, Result& r) {
  std::vector<double> us;
  for (int i = 0; i < kRoundTrips + 200; ++i) {
    char byte = char('a' + i % 26), back = 0;
    const auto start = Clock::now();
    if (write(s, &byte, 1) != 1 || !ReadExactly(s, &back, 1) || back != byte) return false;
    const double elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (i >= 200) us.push_back(elapsed);  // the first ones warm the path up
  }
  r.p50Us = Percentile(us, 0.50);
  r.p99Us = Percentile(us, 0.99);
  return true;
}

// Sends kThroughputBytes while reading the echo back, without blocking on either.
bool MeasureThroughput(int s, Result& r) {
  fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
  std::vector<char> out(65536, 'x'), in(65536);
  size_t sent = 0, received = 0;
  const auto start = Clock::now();
  while (received < kThroughputBytes) {
    pollfd p{s, short(POLLIN | (sent < kThroughputBytes ? POLLOUT : 0)), 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    if ((p.revents & POLLOUT) != 0) {
      const ssize_t w = write(s, out.data(), std::min(out.size(), kThroughputBytes - sent));
      if (w > 0) sent += size_t(w);
    }
    if ((p.revents & POLLIN) != 0) {
      const ssize_t n = read(s, in.data(), in.size());
      if (n == 0) return false;
      if (n > 0) received += size_t(n);
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  r.mbPerS = double(kThroughputBytes) / seconds / 1e6;
  return true;
}

std::optional<Result> Run(const std::string& name, const std::vector<std::string>& argv, int port,
                          const std::string& preamble) {
  const pid_t pid = Spawn(argv);
  const int s = Connect(port);
  Result r{name};
  const char* failed = nullptr;
  if (s < 0 || write(s, preamble.data(), preamble.size()) != ssize_t(preamble.size())) {
    failed = "no connection";
  } else if (!MeasureLatency(s, r)) {
    failed = "round trips";
  } else if (!MeasureThroughput(s, r)) {
    r.mbPerS = 0;  // stalled: the echo stopped coming back within 5 s; latency still stands
  }
  if (s >= 0) close(s);
  Stop(pid);
  if (failed != nullptr) std::printf("%-14s failed (%s), skipped\n", name.c_str(), failed);
  return failed == nullptr ? std::optional<Result>(r) : std::nullopt;
}

std::string Ser2netConfig(const std::string& dir, int port, const std::string& device) {
  const std::string path = dir + "/ser2net.yaml";
  std::ofstream(path) << "connection: &bench\n"
                      << "  accepter: tcp(nodelay),127.0.0.1," << port << "\n"
                      << "  connector: serialdev," << device << ",19200n81,local\n"
                      << "  options:\n    kickolduser: true\n";
  return path;
}

// How to start one relay on `port` in front of `device`; empty when not installed.
struct Relay {
  std::string name;
  std::function<std::vector<std::string>(int port, const std::string& device)> command;
  std::string preamble;  // what the client sends first
};

std::vector<Relay> Relays(const std::string& dir) {
  std::vector<Relay> relays{{"korvex-router",
                             [](int port, const std::string& device) {
                               return std::vector<std::string>{KORVEX_ROUTER_PATH,
                                                               "--listen",
                                                               "127.0.0.1:" + std::to_string(port),
                                                               "--device",
                                                               device,
                                                               "--log-level",
                                                               "error"};
                             },
                             "SETCOMM19200,n,8,1  "}};
  if (auto socat = FindInPath("socat")) {
    relays.push_back({"socat",
                      [socat](int port, const std::string& device) {
                        return std::vector<std::string>{*socat,
                                                        "TCP-LISTEN:" + std::to_string(port) +
                                                            ",bind=127.0.0.1,reuseaddr,nodelay",
                                                        "FILE:" + device + ",raw,echo=0"};
                      },
                      ""});
  } else {
    std::printf("socat          not installed (skipped; make bench installs it)\n");
  }
  if (auto ser2net = FindInPath("ser2net")) {
    relays.push_back({"ser2net",
                      [ser2net, dir](int port, const std::string& device) {
                        return std::vector<std::string>{*ser2net, "-n",
                                                        "-c",     Ser2netConfig(dir, port, device),
                                                        "-P",     dir + "/ser2net.pid"};
                      },
                      ""});
  } else {
    std::printf("ser2net        not installed (skipped; make bench installs it)\n");
  }
  return relays;
}

}  // namespace

int main() {
  signal(SIGPIPE, SIG_IGN);
  char dirTemplate[] = "/tmp/korvex-router-bench-XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  std::vector<Result> results;
  for (const Relay& relay : Relays(dir)) {
    EchoPad pad;  // a fresh line for each, as if each were the only relay on the machine
    const int port = FreePort();
    if (auto r = Run(relay.name, relay.command(port, pad.Path()), port, relay.preamble)) {
      results.push_back(*r);
    }
  }
  std::printf("\n%-14s %12s %12s %14s   (%d round trips of 1 byte, %zu MiB echoed)\n", "relay",
              "p50 us", "p99 us", "echo MB/s", kRoundTrips, kThroughputBytes >> 20);
  for (const Result& r : results) {
    std::printf("%-14s %12.1f %12.1f %14s\n", r.relay.c_str(), r.p50Us, r.p99Us,
                r.mbPerS > 0 ? std::to_string(r.mbPerS).substr(0, 6).c_str() : "stalled");
  }
  if (results.empty() || results[0].relay != "korvex-router") return 1;
  const Result& k = results[0];
  for (size_t i = 1; i < results.size(); ++i) {
    const Result& o = results[i];
    std::printf("korvex-router / %-8s p50 %.2f  p99 %.2f  throughput %s\n", o.relay.c_str(),
                k.p50Us / o.p50Us, k.p99Us / o.p99Us,
                o.mbPerS > 0 ? std::to_string(k.mbPerS / o.mbPerS).substr(0, 5).c_str() : "-");
  }
  if (results.size() > 1) {
    double bestP50 = results[1].p50Us, bestP99 = results[1].p99Us;
    for (size_t i = 2; i < results.size(); ++i) {
      bestP50 = std::min(bestP50, results[i].p50Us);
      bestP99 = std::min(bestP99, results[i].p99Us);
    }
    std::printf("against the best other: p50 %.2f, p99 %.2f (<= 1.00 meets the target)\n",
                k.p50Us / bestP50, k.p99Us / bestP99);
  }
  return 0;
}
