// The README's examples run as written: every call in an example session
// answered with an error, the masking example, and the output of `make demo`.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/bridge_methods.h"
#include "cli/card_data.h"
#include "cli/demo.h"
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

// The demo's lines with what changes from run to run (times, port) replaced.
std::vector<std::string> StableLines(const std::string& text) {
  static const std::regex stamp(R"(\[ *[0-9]+\.[0-9]{3}s\])");
  static const std::regex port(R"(127\.0\.0\.1:[0-9]+)");
  static const std::regex elapsed(R"(elapsed: [0-9]+\.[0-9]{3} s)");
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    line = std::regex_replace(line, stamp, "[time]");
    line = std::regex_replace(line, port, "127.0.0.1:PORT");
    lines.push_back(std::regex_replace(line, elapsed, "elapsed: TIME s"));
  }
  return lines;
}

TEST(ReadmeExamplesTest, MakeDemoShowsWhatTheDemoPrints) {
  const std::string readme = Readme();
  std::smatch block;
  ASSERT_TRUE(
      std::regex_search(readme, block, std::regex("What `make demo` shows:\\s+```\\n([^`]*)```")));
  std::ostringstream out, err;
  EXPECT_EQ(RunDemo(DemoOptions{}, out, err), 0) << err.str();
  EXPECT_EQ(StableLines(out.str()), StableLines(block[1].str())) << out.str();
}

}  // namespace
}  // namespace korvex::cli
