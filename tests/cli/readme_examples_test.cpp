// The README's examples that need no PIN pad run as written: every call in an
// example session answered with an error, and the masking example.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "cli/bridge_methods.h"
#include "cli/card_data.h"
#include "harness/recording_events.h"
#include "korvex/sim_host.h"

namespace korvex::cli {
namespace {

std::string Readme() {
  const std::string source = __FILE__;
  std::ifstream file(source.substr(0, source.rfind("tests/")) + "README.md");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(ReadmeExamplesTest, ErrorAnswersAndMaskingReadAsTheToolWrites) {
  const std::string readme = Readme();
  SimHost host;
  korvex::testing::RecordingEvents events;
  Korvex control{host, events};
  BridgeTarget target{control, nullptr};
  const std::regex errorExchange(R"(\n> (\{.*\})\n< (\{"error":.*\})(?=\n))");
  int exchanges = 0;
  for (std::sregex_iterator m(readme.begin(), readme.end(), errorExchange), end; m != end; ++m) {
    EXPECT_EQ(KorvexMethods().Answer((*m)[1].str(), target).dump(), (*m)[2].str());
    ++exchanges;
  }
  EXPECT_GE(exchanges, 2);
  std::smatch masked;
  ASSERT_TRUE(std::regex_search(readme, masked, std::regex("`([0-9=]+)` is written as\\s+`(.*)`")));
  EXPECT_EQ(MaskTrack2(masked[1].str()), masked[2].str());
}

}  // namespace
}  // namespace korvex::cli
