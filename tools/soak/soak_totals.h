// What a soak found: how the runs ended, and every value the control took
// that differs from what the emulated PIN pad holds.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvex::soak {

struct ErrorCount {
  int count = 0;
  std::string example;  // the text of the first such event
};

struct SoakTotals {
  int run = 0;
  int completed = 0;
  int endedWithError = 0;
  std::map<std::string, ErrorCount> errorsByCode;  // "1/17", "3/10054", "refused 1" ...
  int hung = 0;
  std::vector<std::string> hangs;  // run, step, state and timers of each
  int wrongValues = 0;
  std::vector<std::string> wrong;  // what differed, the first few (all when verbose)
  // Frames of the pad that arrived spoilt yet with a check byte that holds:
  // only the checks of the fields can stop them.
  int spoiltPassingCheck = 0;
  int refusedForFields = 0;  // replies the control NAKed for their fields
  int sanitizerReports = 0;
  std::string sanitizers;  // the sanitizers built in, "" for none
};

}  // namespace korvex::soak
