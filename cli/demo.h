// The demo: an emulated PIN pad comes up, gets its tables and takes a payment.
#pragma once

#include <ostream>

namespace korvex::cli {

struct DemoOptions {
  int traceLevel = 0;         // 0: no debug events; N: levels N and above
  bool pace = false;          // bytes cross the emulated line at its baud rate
  bool showCardData = false;  // PAN and track 2 in clear instead of masked
};

// 0 on success; non-zero with the failing event on err otherwise.
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvex::cli
