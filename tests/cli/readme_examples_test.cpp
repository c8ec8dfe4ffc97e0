// The README's examples run as written: every call in an example session
// answered with an error, the masking example, and the output of `make demo`,
// which `korvex demo` run as a child process must print line for line.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/bridge_methods.h"
#include "cli/card_data.h"
#include "cli/child_process.h"
#include "harness/recording_events.h"
#include "korvex/sim_host.h"

namespace korvex::cli {
namespace {

using namespace std::chrono_literals;

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

// `korvex demo` run as a child process with `args`: its lines, or else what the README
// shows `make demo` printing, with what changes from run to run (times, port) replaced.
// `clear`: the README's masked PAN and track 2 written in clear.
std::vector<std::string> DemoLines(std::vector<std::string> args, bool readme, bool clear) {
  static const std::regex varying(
      R"(\[ *[0-9]+\.[0-9]{3}s\]|127\.0\.0\.1:[0-9]+|elapsed: [0-9]+\.[0-9]{3} s)");
  std::vector<std::string> lines;
  std::smatch block;
  if (readme) {
    const std::string text = Readme();
    EXPECT_TRUE(
        std::regex_search(text, block, std::regex("`make demo` shows:\\s+```\\n([^`]*)```")));
    std::istringstream in(block.empty() ? "" : block[1].str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  } else {
    args.insert(args.begin(), {"cli/korvex", "demo"});
    korvex::testing::ChildProcess demo(args);
    while (auto line = demo.ReadLine(20s)) lines.push_back(*line);
    EXPECT_EQ(demo.Wait(20s), 0) << demo.errors;
  }
  for (std::string& line : lines) {
    line = std::regex_replace(line, varying, "~");
    if (!clear) continue;
    line = std::regex_replace(line, std::regex("476173\\*{6}0010"), "4761739001010010");
    line = std::regex_replace(line, std::regex("541333\\*{6}0011=\\*{16}"),
                              "5413330089020011=2512101000000000");
  }
  return lines;
}

// Every step's event in order, the purchase approved, no protocol violation, card data
// masked: the demo prints exactly what the README shows, and exits 0.
TEST(DemoProcessTest, PrintsWhatTheReadmeShowsWithCardDataMasked) {
  EXPECT_EQ(DemoLines({}, false, false), DemoLines({}, true, false));
}

// --show-card-data shows the receipt's PAN and the swiped track whole; --trace 10 adds the
// debug events of level 10 and above only.
TEST(DemoProcessTest, ShowCardDataPrintsThePanAndTrackInClearAndTraceAddsItsLevels) {
  std::vector<std::string> lines = DemoLines({"--show-card-data", "--trace", "10"}, false, false);
  const auto debug = std::stable_partition(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("~   debug ", 0) != 0;
  });
  const std::vector<std::string> traces(debug, lines.end());
  lines.erase(debug, lines.end());
  EXPECT_EQ(lines, DemoLines({}, true, true));
  EXPECT_NE(std::find(traces.begin(), traces.end(), "~   debug 10: EMV Tabelid kustutatud!"),
            traces.end());
  for (const std::string& t : traces) {  // no card number at these levels
    EXPECT_GE(std::stoi(t.substr(10)), 10) << t;
    EXPECT_TRUE(t.find("4761739001") == t.npos && t.find("5413330089") == t.npos) << t;
  }
}

}  // namespace
}  // namespace korvex::cli
