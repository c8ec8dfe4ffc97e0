// The summary table of a soak, and what the sanitizers built in found.
#include <iomanip>
#include <ostream>

#include "tools/soak/soak_run.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define KORVEX_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define KORVEX_SOAK_ASAN 1
#endif
#endif

namespace korvex::soak {

// Sanitizers stop the process at their first report (the build does not let
// them recover), so a soak that prints its table had none, but for leaks,
// which are looked for here, before the process ends.
void CheckSanitizers(SoakTotals& totals) {
#ifdef KORVEX_SOAK_ASAN
  totals.sanitizers = "address, undefined, leak";
  totals.sanitizerReports += __lsan_do_recoverable_leak_check() != 0 ? 1 : 0;
#else
  (void)totals;
#endif
}

namespace {

void Row(std::ostream& out, const std::string& what, const std::string& value) {
  out << "  " << std::left << std::setw(44) << what << value << "\n";
}

}  // namespace

void PrintTotals(const SoakOptions& options, const SoakTotals& totals, std::ostream& out) {
  out << "soak: " << options.purchases << " purchases, " << options.downloads
      << " downloads, corruption " << options.corruption * 100 << " % per byte, seed "
      << options.seed << "\n";
  Row(out, "run", std::to_string(totals.run));
  Row(out, "completed", std::to_string(totals.completed));
  Row(out, "ended with a reported error", std::to_string(totals.endedWithError));
  for (const auto& [code, count] : totals.errorsByCode) {
    Row(out, "  " + code,
        std::to_string(count.count) + "  e.g. \"" + count.example.substr(0, 60) + "\"");
  }
  Row(out, "hung", std::to_string(totals.hung));
  for (const std::string& hang : totals.hangs) out << "    " << hang << "\n";
  Row(out, "spoilt frames passing their check byte", std::to_string(totals.spoiltPassingCheck));
  Row(out, "  refused for their fields", std::to_string(totals.refusedForFields));
  Row(out, "values accepted that differ from the pad's", std::to_string(totals.wrongValues));
  for (const std::string& line : totals.wrong) out << "    " << line << "\n";
  Row(out, "sanitizer reports",
      totals.sanitizers.empty()
          ? "not built with sanitizers"
          : std::to_string(totals.sanitizerReports) + " (" + totals.sanitizers + ")");
}

}  // namespace korvex::soak
