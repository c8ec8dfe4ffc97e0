// `korvex host`: one control on AsioHost, driven by JSON lines on standard
// input and reporting on standard output (see README.md for the protocol).
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace korvex::cli {

struct HostBridgeOptions {
  std::string terminalPath;   // JSON terminal bound by setTerminalObject; "" for none
  std::string registryPath;   // registry export file; "" to use KORVEX_REGISTRY
  std::string router;         // HOST:PORT answering every PIN pad's key instead of a registry
  int com = 0;                // the Com value that goes with `router`
  bool showCardData = false;  // PAN and track 2 in clear on the output
  int traceLevel = 0;         // DebugEvents below this level are not written
};

// Exit statuses of `korvex host`.
inline constexpr int kHostEndOfInput = 0;
inline constexpr int kHostBadFile = 2;       // the terminal or registry file cannot be used
inline constexpr int kHostOutputFailed = 3;  // the output could not be written

// Calls read but not yet answered on the output, at most; beyond them the
// input is not read.
inline constexpr size_t kMaxWaitingCalls = 16;
// Output bytes waiting to be written beyond which DebugEvents are dropped.
inline constexpr size_t kDebugBacklogBytes = 1 << 20;

// Runs until the end of the input on `inputFd`, then destroys the control,
// writes what is left of the output to `outputFd` and returns 0. A failed
// write to `outputFd` stops the reading, destroys the control and returns 3.
// Returns 2 at once, with the loader's message on `err`, when the terminal or
// registry file cannot be used, or the router address is malformed. Messages about the bridge go to
// `err`.
int RunHostBridge(const HostBridgeOptions& options, int inputFd, int outputFd, std::ostream& err);

}  // namespace korvex::cli
