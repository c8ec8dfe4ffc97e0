// korvex_soak: purchases and downloads against the emulated PIN pad on a
// simulated line that corrupts, cuts up and delays bytes and now and then
// loses the router, each run followed to its end and counted.
#include <CLI/CLI.hpp>
#include <iostream>
#include <stdexcept>
#include <string>

#include "tools/soak/soak_run.h"
#include "tools/soak/soak_steps.h"

int main(int argc, char** argv) {
  korvex::soak::SoakOptions options;
  CLI::App app{
      "Runs chip purchases and file downloads against the emulated PIN pad in virtual time,\n"
      "over a line that corrupts bytes (each takes a random other value), cuts writes into\n"
      "random pieces, delays them by a random jitter and sometimes closes the router\n"
      "connection. Prints how many runs completed, ended with a reported error (by\n"
      "EventType/Code), hung, how many values the control accepted that differ from the\n"
      "emulator's card or source files, and sanitizer reports when built with them.\n"
      "Exit status: 0 with no hang, wrong value or sanitizer report, 1 otherwise, 2 on\n"
      "bad options.",
      "korvex_soak"};
  app.add_option("--purchases", options.purchases, "chip purchases to run")
      ->check(CLI::Range(0, 10000000))
      ->capture_default_str();
  app.add_option("--downloads", options.downloads,
                 "downloads to run (a pad with only its loader, provisioned from the folder)")
      ->check(CLI::Range(0, 1000000))
      ->capture_default_str();
  app.add_option("--corruption", options.corruption,
                 "probability that a byte is corrupted, each way (0.01 = 1 %)")
      ->check(CLI::Range(0.0, 1.0))
      ->capture_default_str();
  app.add_option("--close-rate", options.closeRate,
                 "probability that the router closes the line during a run")
      ->check(CLI::Range(0.0, 1.0))
      ->capture_default_str();
  app.add_option("--max-chunk", options.maxChunk, "largest piece a write is cut into (bytes)")
      ->check(CLI::Range(1, 65536))
      ->capture_default_str();
  app.add_option("--jitter-ms", options.jitterMs, "largest extra delay of a write (ms)")
      ->check(CLI::Range(int64_t{0}, int64_t{60000}))
      ->capture_default_str();
  app.add_option("--seed", options.seed, "seed of every random choice")->capture_default_str();
  app.add_option("--hang-bound-ms", options.hangBoundMs,
                 "virtual time without any event, the control running no timer, after which "
                 "a step counts as hung; a step not ended after " +
                     std::to_string(korvex::soak::kStepCapBounds) + " of these counts as hung too")
      ->check(CLI::Range(int64_t{1}, int64_t{86400000}))
      ->capture_default_str();
  app.add_option("--download-folder", options.downloadFolder,
                 "folder holding Constant/ for the downloads (default: the sample folder)")
      ->check(CLI::ExistingDirectory);
  app.add_flag("--verbose", options.verbose,
               "list every wrong value, and every spoilt frame that passed its check byte "
               "with the count of the run's replies refused for their fields");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  try {
    const korvex::soak::SoakTotals totals = korvex::soak::RunSoak(options, std::cerr);
    korvex::soak::PrintTotals(options, totals, std::cout);
    return totals.hung == 0 && totals.wrongValues == 0 && totals.sanitizerReports == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "korvex_soak: " << e.what() << "\n";
    return 2;
  }
}
