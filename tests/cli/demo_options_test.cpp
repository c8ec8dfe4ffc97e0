// `korvex demo` refuses what it cannot use before it starts anything: a
// download folder that is missing or holds no application image, and a pad
// kind it does not know.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/child_process.h"
#include "harness/temp_dir.h"

namespace korvex::cli {
namespace {

using namespace std::chrono_literals;

TEST(DemoOptionsTest, UnusableInputStopsTheDemoWithItsReason) {
  korvex::testing::TempDir empty;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string error;
  } const cases[] = {
      {{"--download-folder", empty.File("missing")},
       2,
       "download folder '" + empty.File("missing") + "' not found"},
      {{"--download-folder", empty.path()},
       2,
       "has no Constant/EMVAPP.out: the pad would get no payment application"},
      {{"--pad", "shiny"}, 2, "--pad"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{"cli/korvex", "demo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    korvex::testing::ChildProcess demo(argv);
    EXPECT_EQ(demo.Wait(10s), c.status) << c.args[1];
    EXPECT_NE(demo.errors.find(c.error), std::string::npos) << demo.errors;
  }
}

}  // namespace
}  // namespace korvex::cli
