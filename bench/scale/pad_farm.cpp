#include "bench/scale/pad_farm.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/post.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "bench/scale/pad_line.h"
#include "bench/scale/shared_tick.h"
#include "cli/demo_pad.h"

namespace korvex::bench {

namespace {

using asio::ip::tcp;

// The pads as the demo has them, quick cardholder included, but paced: the
// bytes cross at 19,200 baud.
emu::EmulatorConfig PacedPad() {
  emu::EmulatorConfig config;
  config.link.pace = true;
  config.cardholder = cli::DemoCardholder(emu::CardEntry::Insert, false);
  config.delays = cli::DemoDelays(false);
  return config;
}

class Farm {
 public:
  Farm(asio::io_context& io, const emu::PadState& state, int pads, int64_t tickUs, int parentFd)
      : io_(io),
        state_(state),
        config_(PacedPad()),
        tick_(io, tickUs),
        acceptor_(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)),
        parent_(io, parentFd) {
    // Powered on before any control connects, as real pads are: building a
    // pad is the harness's work, not part of the run.
    for (int i = 0; i < pads; ++i) PowerOn();
  }

  int Port() const { return acceptor_.local_endpoint().port(); }

  void Start() {
    Accept();
    // The parent closes its end when the run is over.
    parent_.async_read_some(asio::buffer(&byte_, 1),
                            [this](std::error_code, size_t) { io_.stop(); });
  }

  // The counts on one line, then every reply-to-ACK time.
  std::string Report() {
    uint64_t violations = 0;
    for (const auto& line : lines_) violations += line->Pad().Violations().size();
    std::ostringstream out;
    out << lines_.size() << ' ' << violations << ' ' << times_.naks << ' ' << times_.unstamped
        << ' ' << getpriority(PRIO_PROCESS, 0) << ' ' << (sched_getscheduler(0) == SCHED_IDLE)
        << ' ' << times_.arrivalUs.size() << ' ' << times_.readUs.size() << '\n';
    for (int64_t t : times_.arrivalUs) out << t << '\n';
    for (int64_t t : times_.readUs) out << t << '\n';
    for (const auto& line : lines_) {
      if (line->Pad().Violations().empty()) continue;
      out << line->Pad().Violations().front().description << '\n';
      break;
    }
    return out.str();
  }

 private:
  void Accept() {
    acceptor_.async_accept([this](std::error_code ec, tcp::socket socket) {
      if (!ec) Serve(std::move(socket));
      Accept();
    });
  }

  void PowerOn() {
    const int phase = static_cast<int>((lines_.size() + idle_.size()) % SharedTick::kPhases);
    idle_.push_back(std::make_unique<PadLine>(io_, config_, state_, tick_, phase, times_));
  }

  // Lines stay until the process ends: the shared tick may still hold them.
  // A connection beyond the pads announced gets a pad of its own all the same.
  void Serve(tcp::socket socket) {
    if (idle_.empty()) PowerOn();
    lines_.push_back(std::move(idle_.back()));
    idle_.pop_back();
    lines_.back()->Start(std::move(socket));
  }

  asio::io_context& io_;
  const emu::PadState& state_;
  const emu::EmulatorConfig config_;
  SharedTick tick_;
  tcp::acceptor acceptor_;
  asio::posix::stream_descriptor parent_;
  char byte_ = 0;
  AckTimes times_;
  std::vector<std::unique_ptr<PadLine>> lines_;  // connected
  std::vector<std::unique_ptr<PadLine>> idle_;   // waiting for their connection
};

void WriteAll(int fd, const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const ssize_t n = write(fd, text.data() + at, text.size() - at);
    if (n <= 0) return;
    at += static_cast<size_t>(n);
  }
}

[[noreturn]] void RunChild(const emu::PadState& state, int pads, int64_t tickUs, int nice,
                           bool idleClass, int in, int out) {
  try {
    // The pads stand in for hardware of their own: they get the cores the
    // control under test leaves. The nice value and class reached are in the
    // report.
    errno = 0;
    if (nice != 0 && ::nice(nice) == -1 && errno != 0) {
      throw std::runtime_error(std::string("nice: ") + std::strerror(errno));
    }
    const sched_param none{};
    if (idleClass && sched_setscheduler(0, SCHED_IDLE, &none) != 0) {
      throw std::runtime_error(std::string("SCHED_IDLE: ") + std::strerror(errno));
    }
    asio::io_context io(1);
    Farm farm(io, state, pads, tickUs, in);
    WriteAll(out, std::to_string(farm.Port()) + "\n");
    farm.Start();
    io.run();
    WriteAll(out, farm.Report());
  } catch (const std::exception& e) {
    WriteAll(out, std::string("error ") + e.what() + "\n");
  }
  _exit(0);
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

}  // namespace

PadFarm::PadFarm(const emu::PadState& state, int pads, int64_t tickUs, int nice, bool idleClass) {
  int down[2], up[2];
  if (pipe(down) != 0) throw std::runtime_error("pipe failed");
  if (pipe(up) != 0) {
    close(down[0]);
    close(down[1]);
    throw std::runtime_error("pipe failed");
  }
  std::fflush(nullptr);
  child_ = fork();
  if (child_ == 0) {
    // Every descriptor but its own two pipe ends goes, the other farms' pipes
    // included: a copy of their write end would keep them from ever ending.
    for (int fd = 3; fd < 1024; ++fd) {
      if (fd != down[0] && fd != up[1]) close(fd);
    }
    RunChild(state, pads, tickUs, nice, idleClass, down[0], up[1]);
  }
  close(down[0]);
  close(up[1]);
  toChild_ = down[1];
  fromChild_ = up[0];
  if (child_ < 0) throw std::runtime_error("fork failed");
  const std::string port = ReadLine(fromChild_);
  port_ = std::atoi(port.c_str());
  if (port_ <= 0) throw std::runtime_error("the pads did not start: " + port);
}

PadFarm::~PadFarm() {
  Finish();
}

FarmReport PadFarm::Finish() {
  FarmReport report;
  if (child_ <= 0) return report;
  close(toChild_);
  std::string text;
  char buffer[65536];
  for (ssize_t n; (n = read(fromChild_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(fromChild_);
  waitpid(child_, nullptr, 0);
  child_ = -1;
  std::istringstream in(text);
  size_t arrivals = 0, reads = 0;
  if (!(in >> report.connections >> report.violations >> report.naks >> report.unstamped >>
        report.niceness >> report.idleClass >> arrivals >> reads)) {
    report.error = text.empty() ? "the pads' process ended without a report" : text;
    return report;
  }
  report.ackUs.resize(arrivals);
  for (auto& t : report.ackUs) in >> t;
  report.ackReadUs.resize(reads);
  for (auto& t : report.ackReadUs) in >> t;
  in >> std::ws;
  std::getline(in, report.firstViolation);
  return report;
}

}  // namespace korvex::bench
