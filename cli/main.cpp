// korvex: the command-line tool around the Korvex PIN-pad control.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/demo.h"
#include "cli/host_bridge.h"

namespace {

constexpr char kHostFooter[] = R"(
Protocol: one JSON object per line on standard input,
  {"call": "MethodName", "args": [...]}
with the control's arguments in order. setTerminalObject takes no argument: it
binds the --terminal object. Standard output carries one JSON object per line:
  {"return": value}                      for each call (null when no result)
  {"error": "..."}                       for a malformed line or bad call
  {"event": "InterfaceEvent", "type": T, "code": C, "text": "..."}
  {"event": "DebugEvent", "level": L, "text": "..."}
Events raised by a call come before its return line; events from the PIN pad
and the timer are written whenever they happen. Texts are byte strings: byte n
travels as the character U+00nn. End of input closes the connection and exits 0.

Card data: a PAN (getTag "PAN") and track 2 (getTag "TRACK2", the text of
InterfaceEvent type 5) are masked as on a receipt unless --show-card-data is
given. DebugEvent texts are traces and pass unchanged: they hold card data.

Example:
  {"call": "setName", "args": ["P1"]}
  {"call": "setEMVRegistryKey", "args": ["Software\\Shop\\"]}
  {"call": "InitFromReg", "args": []}
  {"call": "setTerminalObject", "args": []}
  {"call": "PerformConnectionTest", "args": [1]}

Exit status: 0 at end of input, 2 when the terminal or registry file is broken or\nthe --router address is malformed.)";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Drive a PIN pad through the Korvex control.", "korvex");
  app.require_subcommand(1);
  app.footer("Run 'korvex SUBCOMMAND --help' for the options of a subcommand.");

  korvex::cli::HostBridgeOptions hostOptions;
  CLI::App* host = app.add_subcommand(
      "host", "Bridge for a POS program in any language: JSON lines in, JSON lines out.");
  host->add_option("--terminal", hostOptions.terminalPath,
                   "Terminal configuration (JSON) bound by setTerminalObject")
      ->type_name("FILE.json");
  CLI::Option* registry = host->add_option("--registry", hostOptions.registryPath,
                                           "Registry export file with the PIN pad's router address "
                                           "(default: the file named by KORVEX_REGISTRY)")
                              ->type_name("FILE.reg");
  CLI::Option* router =
      host->add_option("--router", hostOptions.router,
                       "Router address that InitFromReg reads for any PIN pad, instead of a "
                       "registry file")
          ->type_name("HOST:PORT")
          ->excludes(registry);
  host->add_option("--com", hostOptions.com, "The Com value that goes with --router (0-255)")
      ->type_name("N")
      ->check(CLI::Range(0, 255))
      ->needs(router);
  host->add_flag("--show-card-data", hostOptions.showCardData,
                 "Write PAN and track 2 in clear instead of masked");
  host->footer(kHostFooter);

  korvex::cli::DemoOptions demoOptions;
  CLI::App* demo = app.add_subcommand(
      "demo",
      "Watch an emulated PIN pad come up, get its EMV tables and take a card payment, "
      "over real TCP.");
  demo->add_option("--trace", demoOptions.traceLevel,
                   "Also print DebugEvents of this level and above (2 raw data .. 10 progress)")
      ->type_name("N")
      ->check(CLI::Range(1, 10));
  demo->add_flag("--pace", demoOptions.pace,
                 "Pace every byte at the emulated line's baud rate and let the cardholder take "
                 "the time a real one does");
  demo->add_flag("--show-card-data", demoOptions.showCardData,
                 "Print PAN and track 2 in clear instead of masked");

  CLI11_PARSE(app, argc, argv);

  if (*host) return korvex::cli::RunHostBridge(hostOptions, STDIN_FILENO, std::cout, std::cerr);
  if (*demo) return korvex::cli::RunDemo(demoOptions, std::cout, std::cerr);
  return 1;
}
