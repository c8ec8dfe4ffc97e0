// The demo's download progress: a bar redrawn in place on a terminal, one
// line per finished file otherwise, and a bar cut short by other output.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/download_progress.h"

namespace korvex::cli {
namespace {

struct Call {
  std::string file;
  int64_t sent, size;  // sent -1: other output breaks in
};

struct Case {
  const char* what;
  std::vector<Call> calls;
  const char* terminal;
  const char* plain;
};

std::string Render(const std::vector<Call>& calls, bool terminal) {
  std::ostringstream out;
  DownloadProgress progress(out, terminal);
  for (const Call& c : calls) {
    if (c.sent < 0) {
      progress.BreakLine();
      out << "event\n";
    } else {
      progress.OnDownloadProgress(c.file, c.sent, c.size);
    }
  }
  return out.str();
}

TEST(DownloadProgressTest, TerminalRedrawsABarPlainWritesALinePerFile) {
  const Case cases[] = {
      {"a file in two blocks",
       {{"Constant\\EMVAPP.out", 0, 400},
        {"Constant\\EMVAPP.out", 248, 400},
        {"Constant\\EMVAPP.out", 400, 400}},
       "\r  EMVAPP.out           [--------------------]  0/400"
       "\r  EMVAPP.out           [############--------]  248/400"
       "\r  EMVAPP.out           [####################]  400/400\n",
       "  downloaded EMVAPP.out (400 bytes)\n"},
      {"an empty file is done at its header",
       {{"DEMO/A000000003_92.EMV", 0, 0}},
       "\r  A000000003_92.EMV    [####################]  0/0\n",
       "  downloaded A000000003_92.EMV (0 bytes)\n"},
      {"a name longer than the column",
       {{"a_name_longer_than_twenty.dat", 7, 7}},
       "\r  a_name_longer_than_twenty.dat [####################]  7/7\n",
       "  downloaded a_name_longer_than_twenty.dat (7 bytes)\n"},
      {"other output breaks into a bar, then the bar goes on",
       {{"table.rec", 0, 100}, {"", -1, 0}, {"table.rec", 100, 100}, {"", -1, 0}},
       "\r  table.rec            [--------------------]  0/100\nevent\n"
       "\r  table.rec            [####################]  100/100\nevent\n",
       "event\n  downloaded table.rec (100 bytes)\nevent\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render(c.calls, true), c.terminal) << c.what;
    EXPECT_EQ(Render(c.calls, false), c.plain) << c.what;
  }
}

}  // namespace
}  // namespace korvex::cli
