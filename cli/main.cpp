// korvex: the command-line tool around the Korvex PIN-pad control.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

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
At most 16 calls wait for their answers to be written; until then no input is
read. DebugEvents below --trace-level are not written, and while the reader of
the output is over 1 MiB behind, DebugEvents are dropped and counted:
  {"dropped":"DebugEvent","count":N}

Card data: a PAN (getTag "PAN") and track 2 (getTag "TRACK2", the text of
InterfaceEvent type 5) are masked as on a receipt unless --show-card-data is
given. DebugEvent texts are traces and pass unchanged: they hold card data.

Example:
  {"call": "setName", "args": ["P1"]}
  {"call": "setEMVRegistryKey", "args": ["Software\\Shop\\"]}
  {"call": "InitFromReg", "args": []}
  {"call": "setTerminalObject", "args": []}
  {"call": "PerformConnectionTest", "args": [1]}

Exit status: 0 at end of input; 1 on an unexpected failure; 2 for a wrong
command line, a malformed --router address, or when the terminal or registry
file is broken; 3 when the output cannot be written (the control is destroyed
first).)";

// Exit statuses of both subcommands besides their own.
constexpr int kUnexpectedFailure = 1;
constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Drive a PIN pad through the Korvex control.", "korvex");
  app.require_subcommand(1);
  app.set_version_flag("--version", "korvex " KORVEX_VERSION);
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
  host->add_option("--trace-level", hostOptions.traceLevel,
                   "Write only DebugEvents of this level and above (2 raw data .. 10 progress; "
                   "11 none)")
      ->type_name("N")
      ->check(CLI::Range(0, 11));
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
  std::string padKind = "brand-new";
  demo->add_option("--pad", padKind,
                   "brand-new: only the loader, provisioned by the connection test (default); "
                   "old-tables: payment application running, tables out of date")
      ->type_name("KIND")
      ->check(CLI::IsMember({"brand-new", "old-tables"}));
  demo->add_option("--download-folder", demoOptions.downloadFolder,
                   "Download folder (with Constant/) sent to a brand-new pad (default: " +
                       korvex::cli::DefaultDownloadFolder() + ")")
      ->type_name("DIR");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with 0; every other status of the
    // parser means the same to a caller: the command line is wrong.
    return app.exit(e) == 0 ? 0 : kUsageError;
  }
  try {
    if (*host)
      return korvex::cli::RunHostBridge(hostOptions, STDIN_FILENO, STDOUT_FILENO, std::cerr);
    demoOptions.pad =
        padKind == "brand-new" ? korvex::cli::DemoPad::BrandNew : korvex::cli::DemoPad::OldTables;
    demoOptions.terminal = isatty(STDOUT_FILENO) == 1;
    return korvex::cli::RunDemo(demoOptions, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "korvex: " << e.what() << "\n";
    return kUnexpectedFailure;
  }
}
