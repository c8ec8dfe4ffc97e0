// The soak: purchases, then downloads, each on a fresh simulated line and
// PIN pad, each followed to its end.
#pragma once

#include <ostream>

#include "tools/soak/soak_options.h"
#include "tools/soak/soak_totals.h"

namespace korvex::soak {

// Runs the soak; a line on `progress` every 1000 runs. Throws
// std::runtime_error when the terminal or the download folder cannot be used.
SoakTotals RunSoak(const SoakOptions& options, std::ostream& progress);

// Adds what the sanitizers built in found (leaks: looked for now).
void CheckSanitizers(SoakTotals& totals);

// The summary table.
void PrintTotals(const SoakOptions& options, const SoakTotals& totals, std::ostream& out);

}  // namespace korvex::soak
