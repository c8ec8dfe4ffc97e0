// How far the table update has come on one connection: which tables the
// control asked about, which it emptied, and how many records it added. The
// order rules of the table messages read it.
#pragma once

#include <map>

namespace korvex::emu {

struct UpdateProgress {
  std::map<int, bool> asked;    // table information requested
  std::map<int, bool> emptied;  // the table reached 0 records
  std::map<int, int> added;     // records added
};

}  // namespace korvex::emu
