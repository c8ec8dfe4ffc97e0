// `korvex demo` as a newcomer runs it: it must bring the emulated pad up,
// rebuild its tables, take a payment, read a stripe and check the fallback,
// exit 0, and never print a card number in clear unless asked to.
#include <gtest/gtest.h>

#include "cli/child_process.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;

// The demo's cards: the chip card of the purchase and the swiped stripe card.
const std::string kChipPan = "4761739001010010";
const std::string kStripeTrack2 = "5413330089020011=2512101000000000";

struct DemoRun {
  int status;
  std::string out;
  std::string errors;
};

DemoRun RunDemo(std::vector<std::string> args) {
  args.insert(args.begin(), {"cli/korvex", "demo"});
  ChildProcess demo(args);
  DemoRun run;
  while (auto line = demo.ReadLine(20s)) run.out += *line + "\n";
  run.status = demo.Wait(20s);
  run.errors = demo.errors;
  return run;
}

TEST(DemoProcessTest, EveryStepSucceedsInOrderWithCardDataMasked) {
  const DemoRun run = RunDemo({"--trace", "10"});
  EXPECT_EQ(run.status, 0) << run.out << run.errors;
  size_t at = 0;
  for (const char* expected :
       {"0/1107 EmvApp is ready", "EMV Tabelid kustutatud!", "0/1100 Init completed",
        "0/1107 EmvApp is ready", "0/1100 Init completed",  // the second round
        "0/1101 Card Inserted!", "0/1102 Track2 received", "0/1103 Pin entered!",
        "0/1104 Authorization!", "0/1106 Transaction Completed!", "476173******0010",
        "0/1200 Warm Reset Complete", "0/1107 EmvApp is ready",
        "5/0 541333******0011=****************", "0/1105 M", "0/1105 C",
        // 5 old records go (2 EST, 3 MVT); 2 schemes, a default and 2 MVT records come.
        "records deleted: 5, records added: 5 (second initialisation: 0 deleted, 0 added)",
        "purchase: 12.50 in currency 978, approved", "demo completed"}) {
    const size_t found = run.out.find(expected, at);
    ASSERT_NE(found, std::string::npos) << expected << " after offset " << at << " in:\n"
                                        << run.out;
    at = found;
  }
  for (const std::string& clear : {kChipPan, kStripeTrack2.substr(0, 16), kStripeTrack2}) {
    EXPECT_EQ(run.out.find(clear), std::string::npos) << clear << " in:\n" << run.out;
  }
  EXPECT_EQ(run.out.find("protocol violations"), std::string::npos) << run.out;
}

TEST(DemoProcessTest, ShowCardDataPrintsThePanAndTrackInClear) {
  const DemoRun run = RunDemo({"--show-card-data"});
  EXPECT_EQ(run.status, 0) << run.out << run.errors;
  // The receipt's PAN and the swiped track, whole.
  EXPECT_NE(run.out.find(kChipPan + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("InterfaceEvent 5/0 " + kStripeTrack2 + "\n"), std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace korvex::testing
