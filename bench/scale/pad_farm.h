// The emulated pads of a scale run, in a child process of their own so that
// their work and their sockets do not count against the control's: one
// loopback port, each accepted connection served by a fresh pad paced at
// 19,200 baud, all the process's pads on one shared tick. When the run ends
// the child reports what it measured.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/core/pin_pad.h"

namespace korvex::bench {

struct FarmReport {
  std::vector<int64_t> ackUs;      // reply to the ACK's arrival, microseconds
  std::vector<int64_t> ackReadUs;  // reply to the pads' process reading the ACK
  uint64_t unstamped = 0;          // ACKs that came without the kernel's stamp
  int niceness = 0;                // the pads' process's nice value
  bool idleClass = false;          // it ran in the idle scheduling class
  uint64_t connections = 0;
  uint64_t violations = 0;  // protocol violations the pads recorded
  uint64_t naks = 0;        // pad frames the control asked for again
  std::string firstViolation;
  std::string error;  // why there is no report, if there is none
};

class PadFarm {
 public:
  // Forks the child, whose `pads` pads start as `state` and send what is due
  // every `tickUs`; the child runs `nice` steps below this process's priority,
  // and with `idleClass` in the idle scheduling class (SCHED_IDLE: it runs
  // only when nothing else wants the CPU). Throws std::runtime_error when it
  // cannot.
  PadFarm(const emu::PadState& state, int pads, int64_t tickUs, int nice, bool idleClass);
  ~PadFarm();
  PadFarm(const PadFarm&) = delete;
  PadFarm& operator=(const PadFarm&) = delete;

  int Port() const { return port_; }
  // Ends the child and collects its report.
  FarmReport Finish();

 private:
  pid_t child_ = -1;
  int toChild_ = -1;    // closed: the run is over
  int fromChild_ = -1;  // the port, then the report
  int port_ = 0;
};

}  // namespace korvex::bench
