// `korvex demo` as a newcomer runs it: it must bring the emulated pad up,
// rebuild its tables, find nothing to do the second time and exit 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "cli/child_process.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;

std::string Output(ChildProcess& p) {
  std::string all;
  while (auto line = p.ReadLine(20s)) all += *line + "\n";
  return all;
}

TEST(DemoProcessTest, PadComesUpAndGetsItsTables) {
  const char* dir = std::getenv("KORVEX_BUILD_DIR");
  ChildProcess demo({std::string(dir != nullptr ? dir : "build/dev") + "/cli/korvex", "demo",
                     "--trace", "10"},
                    EnvironmentWith("KORVEX_REGISTRY", nullptr));
  ASSERT_TRUE(demo.Started());
  const std::string out = Output(demo);
  EXPECT_EQ(demo.Wait(20s), 0) << out << demo.Errors();
  EXPECT_NE(out.find("InterfaceEvent 0/1107 EmvApp is ready"), std::string::npos) << out;
  EXPECT_NE(out.find("InterfaceEvent 0/1100 Init completed"), std::string::npos) << out;
  // The two old EST and three old MVT records go; the example terminal's two
  // schemes and its default plus two MVT records come; the rerun does nothing.
  EXPECT_NE(out.find("records deleted: 5, records added: 5 (second initialisation: 0 deleted, "
                     "0 added)"),
            std::string::npos)
      << out;
  // --trace 10 adds the progress texts.
  EXPECT_NE(out.find("EMV Tabelid kustutatud!"), std::string::npos) << out;
  EXPECT_EQ(out.find("InterfaceEvent 1/"), std::string::npos) << out;
}

}  // namespace
}  // namespace korvex::testing
