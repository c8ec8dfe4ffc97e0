// What a file download costs: the sample download folder sent to a brand-new
// emulated PIN pad on SimHost, the pad's line paced at its download rate.
//
// Two figures per block size the pad asks for:
// - transfer time in virtual time, from the control's first frame on the
//   download connection to its EOT, against the wire-time floor of the same
//   exchange: every byte that crossed the line in that span (frames, ACKs),
//   10 bits each at 115200 baud. The ratio says how much time the protocol
//   loses beyond moving its own bytes.
// - CPU time spent inside the control per data block (ControlClock counts
//   only the control's own work, not the emulator's or the host's).
//
// Prints PASS or MISS against the targets; exits non-zero only when a
// download did not complete.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "control_clock.h"
#include "emulator/adapters/sim_pinpad.h"
#include "emulator/core/pad_app.h"
#include "emulator/core/serial_line.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "support/files.h"

namespace korvex::bench {
namespace {

constexpr double kRatioTarget = 1.005;
constexpr double kCpuTargetUs = 2.0;
constexpr int kRuns = 5;              // CPU figures are the median of this many downloads
constexpr int64_t kBitsPerByte = 10;  // start, 8 data, stop
constexpr int64_t kLimitMs = 600000;  // virtual time for each stage of a provisioning
const char* const kRouterKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\PinPads\\BENCH";

class OutcomeEvents : public KorvexEvents {
 public:
  void InterfaceEvent(int32_t& type, int32_t& code, std::string& text) override {
    if (type == 0 && code == 1100) initCompleted = true;
    if ((type == 1 || type == 3) && !error) error = std::to_string(code) + " " + text;
  }
  void DebugEvent(int16_t&, std::string&) override {}
  bool initCompleted = false;
  std::optional<std::string> error;
};

// Microseconds these many bytes occupy the line at the download rate.
int64_t WireUs(int64_t bytes) {
  return bytes * kBitsPerByte * 1000000 / emu::kDownloadBaud;
}

// The span of the transfer in the wire log and what crossed the line in it.
struct Transfer {
  int64_t startUs = -1, endUs = -1;
  int64_t bytes = 0;   // both directions, EOT excluded
  int64_t blocks = 0;  // data blocks the control sent
  bool Complete() const { return endUs >= 0; }
};

// Scans the wire log as it grows: the download connection is the one the
// control opens with the router's 115200-baud command.
class TransferScan {
 public:
  void Scan(const std::vector<SimWireRecord>& log) {
    for (; next_ < log.size() && !t.Complete(); ++next_) Take(log[next_]);
  }
  bool Opened() const { return connection_ != 0; }
  Transfer t;

 private:
  void Take(const SimWireRecord& r) {
    if (r.kind != SimWireRecord::Data) return;
    const bool control = r.from == SimSide::Control;
    if (control && r.bytes.rfind("SETCOMM115200", 0) == 0) connection_ = r.connection;
    if (r.connection != connection_ || connection_ == 0) return;
    if (t.startUs < 0 && !(control && r.bytes[0] == '\x02')) return;
    if (control && r.bytes == "\x04") {
      t.endUs = r.timeUs;
      return;
    }
    if (t.startUs < 0) t.startUs = r.timeUs;
    const auto n = static_cast<int64_t>(r.bytes.size());
    t.bytes += n;
    t.blocks += control && r.bytes.size() > 1 && r.bytes[1] == 'W';
  }
  size_t next_ = 0;
  int connection_ = 0;
};

struct Result {
  Transfer transfer;
  double cpuUsPerBlock = 0;
};

// One brand-new pad provisioned by the connection test, as in the field.
Result DownloadOnce(int64_t blockSize) {
  SimHost sim;
  sim.toPeer.latencyMs = 0;  // the line's own time is what is measured
  sim.toControl.latencyMs = 0;
  ControlClock clock;
  ClockedHost host(sim, clock);
  emu::EmulatorConfig config;
  config.link.pace = true;
  config.download.blockSize = blockSize;
  emu::SimPinPad pad(sim, config, emu::BrandNewPad());
  pad.Listen("router", 4001);
  sim.registry().SetValue(kRouterKey, "RouterHost", "router");
  sim.registry().SetValue(kRouterKey, "RouterPort", "4001");

  std::string error;
  auto terminal = JsonTerminal::Load(KORVEX_SOURCE_DIR "/examples/terminal.json", error);
  if (!terminal) throw std::runtime_error(error);
  OutcomeEvents events;
  Korvex control(host, events);
  control.setName("BENCH");
  control.setEMVRegistryKey("Software\\Bench\\");
  control.InitFromReg();
  control.SetDownloadPath(KORVEX_DOWNLOAD_FOLDER "/");
  control.setTerminalObject(*terminal);
  if (control.PerformConnectionTest(1) != 0) throw std::runtime_error("connection test refused");

  TransferScan scan;
  const auto until = [&](const std::function<bool()>& done) {
    sim.RunUntil(
        [&] {
          scan.Scan(sim.WireLog());
          return done() || events.error.has_value();
        },
        kLimitMs);
  };
  until([&] { return scan.Opened(); });
  clock.Reset();  // from here on, the control's time is the download's
  until([&] { return scan.t.Complete(); });
  const auto spent = clock.Spent();
  until([&] { return events.initCompleted; });
  std::error_code ec;  // the control has removed the key files, not their folder
  std::filesystem::remove(KORVEX_DOWNLOAD_FOLDER "/BENCH", ec);
  if (events.error || !events.initCompleted || !scan.t.Complete() || scan.t.blocks == 0) {
    throw std::runtime_error("download did not complete: " + events.error.value_or("no error"));
  }
  return {scan.t, std::chrono::duration<double, std::micro>(spent).count() /
                      static_cast<double>(scan.t.blocks)};
}

// What one block's read costs on this machine: the control opens, reads and
// closes the file for every block (only that block is ever in memory), so the
// system's open, fstat, pread and close are part of each block's time.
double FileReadUsPerBlock(int64_t blockSize) {
  const std::string path = KORVEX_DOWNLOAD_FOLDER "/Constant/EMVAPP.out";
  constexpr int kReads = 2000;
  std::vector<double> us;
  std::string data, error;
  for (int i = 0; i < kReads; ++i) {
    const auto start = std::chrono::steady_clock::now();
    ReadFilePart(path, static_cast<int32_t>(1 + (i * blockSize) % 200000),
                 static_cast<int32_t>(blockSize), data, error);
    us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(us.begin(), us.end());
  return us[us.size() / 2];
}

const char* Verdict(bool met) {
  return met ? "PASS" : "MISS";
}

void Report(int64_t blockSize) {
  std::vector<double> cpu;
  Result r;
  for (int i = 0; i < kRuns; ++i) {
    r = DownloadOnce(blockSize);
    cpu.push_back(r.cpuUsPerBlock);
  }
  std::sort(cpu.begin(), cpu.end());
  const Transfer& t = r.transfer;
  const double floorMs = static_cast<double>(WireUs(t.bytes)) / 1000.0;
  const double transferMs = static_cast<double>(t.endUs - t.startUs) / 1000.0;
  const double ratio = transferMs / floorMs;
  const double medianCpu = cpu[cpu.size() / 2];
  std::printf("block size %lld: %lld blocks, %lld bytes on the line\n",
              static_cast<long long>(blockSize), static_cast<long long>(t.blocks),
              static_cast<long long>(t.bytes));
  std::printf(
      "  transfer %.1f ms (virtual), wire-time floor %.1f ms, ratio %.4f (target <= %.3f) %s\n",
      transferMs, floorMs, ratio, kRatioTarget, Verdict(ratio <= kRatioTarget));
  // The emulated line takes a whole number of microseconds per byte.
  std::printf("  the same bytes at the emulated line's %lld us per byte: %.1f ms\n",
              static_cast<long long>(emu::ByteTimeUs(emu::kDownloadBaud)),
              static_cast<double>(t.bytes * emu::ByteTimeUs(emu::kDownloadBaud)) / 1000.0);
  std::printf("  control CPU %.3f us per block (median of %d, target <= %.1f) %s\n", medianCpu,
              kRuns, kCpuTargetUs, Verdict(medianCpu <= kCpuTargetUs));
  const double readUs = FileReadUsPerBlock(blockSize);
  std::printf(
      "    of which the block's file read (open, fstat, pread, close): %.3f us;\n"
      "    the rest, the control's own work: %.3f us (target <= %.1f) %s\n",
      readUs, medianCpu - readUs, kCpuTargetUs, Verdict(medianCpu - readUs <= kCpuTargetUs));
}

}  // namespace
}  // namespace korvex::bench

int main() {
  try {
    for (const int64_t blockSize : {248, 1024}) korvex::bench::Report(blockSize);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "download_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
