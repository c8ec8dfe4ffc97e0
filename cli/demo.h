// The demo: an emulated PIN pad comes up, gets its application, keys and
// tables, and takes a payment.
#pragma once

#include <ostream>
#include <string>

namespace korvex::cli {

// The pad the demo starts from.
enum class DemoPad {
  BrandNew,   // only the loader: the connection test downloads and sets it up
  OldTables,  // payment application running, tables of an older configuration
};

struct DemoOptions {
  int traceLevel = 0;         // 0: no debug events; N: levels N and above
  bool pace = false;          // bytes cross the emulated line at its baud rate
  bool showCardData = false;  // PAN and track 2 in clear instead of masked
  DemoPad pad = DemoPad::BrandNew;
  std::string downloadFolder;  // empty: the installed or the build's sample folder
  bool terminal = false;       // output is a terminal: progress bars redrawn in place
};

// The download folder the demo uses when none is given: the installed sample
// folder (share/korvex/download beside bin/), else the one the build assembled.
std::string DefaultDownloadFolder();

// 0 on success; 2 when the download folder is unusable; otherwise non-zero
// with the failing event on err.
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvex::cli
