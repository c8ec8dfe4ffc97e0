// A few soak runs: on a clean line every purchase and download completes and
// every value the control took matches the pad's, on a slow one too; on a
// noisy one every run is counted once, by how it ended, and the table says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <sstream>

#include "harness/temp_dir.h"
#include "tools/soak/soak_run.h"

namespace korvex::soak {
namespace {

int ErrorSum(const SoakTotals& totals) {
  return std::accumulate(totals.errorsByCode.begin(), totals.errorsByCode.end(), 0,
                         [](int sum, const auto& entry) { return sum + entry.second.count; });
}

TEST(Soak, CleanLineCompletesEverythingAndNoisyLineCountsEachRunOnce) {
  // A small download folder keeps the download short.
  testing::TempDir dir;
  std::filesystem::create_directories(dir.File("Constant"));
  dir.Write("Constant/EMVAPP.out", "KORVEX-EMVAPP\nversion=9.3\n" + std::string(5000, 'x'));
  dir.Write("Constant/Currency.dat", "233 EUR 2\r\n");
  SoakOptions clean;
  clean.downloadFolder = dir.path();
  clean.purchases = 3;
  clean.downloads = 1;
  clean.corruption = 0;
  clean.closeRate = 0;
  std::ostringstream progress;
  const SoakTotals ok = RunSoak(clean, progress);
  EXPECT_EQ(ok.run, 4);
  EXPECT_EQ(ok.completed, 4) << ok.errorsByCode.size() << " error codes";
  EXPECT_EQ(ok.wrongValues, 0);
  EXPECT_TRUE(ok.wrong.empty());

  // A slow line: the download goes longer than the hang bound without an
  // event, each block re-arming the reply timer, and is not a hang.
  SoakOptions slow = clean;
  slow.purchases = 0;
  slow.jitterMs = 900;
  slow.hangBoundMs = 20000;
  const SoakTotals late = RunSoak(slow, progress);
  EXPECT_EQ(late.completed, 1) << (late.hangs.empty() ? "" : late.hangs.front());

  SoakOptions noisy;
  noisy.purchases = 6;
  noisy.downloads = 0;
  noisy.corruption = 0.02;
  noisy.closeRate = 0.5;
  noisy.seed = 7;
  const SoakTotals t = RunSoak(noisy, progress);
  EXPECT_EQ(t.run, 6);
  EXPECT_EQ(t.completed + t.endedWithError + t.hung, t.run);
  EXPECT_EQ(ErrorSum(t), t.endedWithError);
  EXPECT_EQ(t.hangs.size(), static_cast<size_t>(t.hung));
  EXPECT_EQ(t.hung, 0);
  EXPECT_GT(t.endedWithError, 0);  // half the runs lose their router

  std::ostringstream table;
  PrintTotals(noisy, t, table);
  EXPECT_NE(table.str().find("  run" + std::string(41, ' ') + "6\n"), std::string::npos)
      << table.str();
  EXPECT_NE(table.str().find("completed" + std::string(35, ' ') + std::to_string(t.completed)),
            std::string::npos)
      << table.str();
}

}  // namespace
}  // namespace korvex::soak
