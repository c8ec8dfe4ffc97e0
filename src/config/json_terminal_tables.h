// Whether a terminal configuration's tables and keys can be built into the
// PIN pad's EST and MVT records, checked when the file is loaded so that a
// table update never starts with data it would have to abandon half-way.
#pragma once

#include <optional>
#include <string>

#include "korvex/json_terminal.h"

namespace korvex {

struct ConfigFault {
  std::string path;  // e.g. "table4.records[1][2]"
  std::string problem;
};

// The first fault found, in file order; nullopt when every record can be built.
std::optional<ConfigFault> CheckTableRecords(const JsonTerminal::Config& config);

}  // namespace korvex
