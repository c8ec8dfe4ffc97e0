// `korvex host`: one control on AsioHost, driven by JSON lines on standard
// input and reporting on standard output (see README.md for the protocol).
#pragma once

#include <ostream>
#include <string>

namespace korvex::cli {

struct HostBridgeOptions {
  std::string terminalPath;   // JSON terminal bound by setTerminalObject; "" for none
  std::string registryPath;   // registry export file; "" to use KORVEX_REGISTRY
  std::string router;         // HOST:PORT answering every PIN pad's key instead of a registry
  int com = 0;                // the Com value that goes with `router`
  bool showCardData = false;  // PAN and track 2 in clear on the output
};

// Runs until the end of the input on `inputFd`, then destroys the control and
// returns 0. Returns 2 at once, with the loader's message on `err`, when the
// terminal or registry file cannot be used, or the router address is malformed.
int RunHostBridge(const HostBridgeOptions& options, int inputFd, std::ostream& out,
                  std::ostream& err);

}  // namespace korvex::cli
