// The demo: an emulated PIN pad comes up and gets its tables.
#pragma once

#include <ostream>

namespace korvex::cli {

struct DemoOptions {
  int traceLevel = 0;         // 0: no debug events; N: levels N and above
  bool pace = false;          // bytes cross the emulated line at its baud rate
  bool showCardData = false;  // card data in clear; for the card steps to come
};

// 0 on success; non-zero with the failing event on err otherwise.
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvex::cli
