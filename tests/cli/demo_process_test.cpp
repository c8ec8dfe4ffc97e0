// `korvex demo` as a newcomer runs it: it must bring the emulated pad up,
// rebuild its tables, find nothing to do the second time and exit 0.
#include <gtest/gtest.h>

#include "cli/child_process.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;

TEST(DemoProcessTest, PadComesUpAndGetsItsTables) {
  ChildProcess demo({"cli/korvex", "demo", "--trace", "10"});
  std::string out;
  while (auto line = demo.ReadLine(20s)) out += *line + "\n";
  EXPECT_EQ(demo.Wait(20s), 0) << out << demo.errors;
  for (const char* expected : {
           "InterfaceEvent 0/1107 EmvApp is ready", "InterfaceEvent 0/1100 Init completed",
           // 5 old records go (2 EST, 3 MVT); 2 schemes, a default and 2 MVT records come.
           "records deleted: 5, records added: 5 (second initialisation: 0 deleted, 0 added)",
           "EMV Tabelid kustutatud!",  // a progress text, shown by --trace 10
       }) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << " in:\n" << out;
  }
}

}  // namespace
}  // namespace korvex::testing
