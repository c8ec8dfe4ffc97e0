// The README's examples run as written: the `korvex host` example session
// against the emulator, the registry example, the masking example, and the
// output of `make demo`, which `korvex demo` run as a child process must print
// line for line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/bridge_methods.h"
#include "cli/card_data.h"
#include "cli/child_process.h"
#include "harness/repo_files.h"
#include "harness/temp_dir.h"

namespace korvex::cli {
namespace {

using namespace std::chrono_literals;

using korvex::testing::ReadRepoFile;
using korvex::testing::RepoPath;

std::string Readme() {
  return ReadRepoFile("README.md");
}

TEST(ReadmeExamplesTest, MaskingReadsAsTheToolWrites) {
  std::smatch masked;
  const std::string readme = Readme();
  ASSERT_TRUE(std::regex_search(readme, masked, std::regex("`([0-9=]+)` is written as\\s+`(.*)`")));
  EXPECT_EQ(MaskTrack2(masked[1].str()), masked[2].str());
}

// The first fenced block after `heading` in the README, as lines.
std::vector<std::string> Block(const std::string& readme, const std::string& heading) {
  std::smatch block;
  EXPECT_TRUE(std::regex_search(readme, block,
                                std::regex(heading + "[\\s\\S]*?```[a-z]*\\n([\\s\\S]*?)```")))
      << heading;
  std::vector<std::string> lines;
  std::istringstream in(block.empty() ? "" : block[1].str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A README command run from a copy of the shipped files (build/dev links to this build).
korvex::testing::ChildProcess Command(const korvex::testing::TempDir& copy,
                                      const std::string& command) {
  return korvex::testing::ChildProcess(
      {"/bin/sh", "-c", "cd \"$0\" && exec " + command, copy.path()});
}

// The example session of `korvex host`, from starting the emulator to the last error
// answer: each `>` line is written once the lines before it have been read, each `<` line
// must be the next line of output, and `< ...` skips lines up to the one after it. Only the
// port the emulator listens at is not as written: a free one is taken.
TEST(ReadmeExamplesTest, TheHostExampleSessionRunsAsWritten) {
  const std::string readme = Readme(), root = RepoPath("");
  korvex::testing::TempDir copy;
  std::filesystem::copy(root + "examples", copy.File("examples"),
                        std::filesystem::copy_options::recursive);
  std::filesystem::create_directories(copy.File("build"));
  std::filesystem::create_symlink(
      std::filesystem::absolute(korvex::testing::ChildProcess::BuildPath("")),
      copy.File("build/dev"));
  const std::vector<std::string> commands = Block(readme, "Example session");
  ASSERT_EQ(commands.size(), 2u);
  ASSERT_EQ(commands[0].substr(commands[0].size() - 7), ":4001 &");
  auto pad = Command(copy, commands[0].substr(0, commands[0].size() - 6) + "0");
  const std::string listening = pad.ReadLine(10s).value_or("");
  ASSERT_EQ(listening.rfind("listening on 127.0.0.1:", 0), 0u) << pad.Wait(1s) << pad.errors;
  std::string reg = copy.Read("examples/pinpads.reg");
  ASSERT_NE(reg.find("\"4001\""), std::string::npos);
  copy.Write("examples/pinpads.reg",
             reg.replace(reg.find("\"4001\""), 6, "\"" + listening.substr(23) + "\""));
  auto bridge = Command(copy, commands[1]);

  const std::vector<std::string> session = Block(readme, "`< \\.\\.\\.` stands for lines left out");
  ASSERT_GE(session.size(), 20u);
  bool skipping = false;
  for (const std::string& line : session) {
    if (line.rfind("> ", 0) == 0) {
      ASSERT_TRUE(bridge.Write(line.substr(2) + "\n"));
    } else if (line == "< ...") {
      skipping = true;
    } else {
      std::optional<std::string> got;
      while ((got = bridge.ReadLine(30s)) && skipping && *got != line.substr(2)) continue;
      ASSERT_EQ(got.value_or("<end>"), line.substr(2));
      skipping = false;
    }
  }
  bridge.CloseInput();
  EXPECT_EQ(bridge.Wait(10s), 0) << bridge.errors;
}

// The registry example is the shipped file the session uses.
TEST(ReadmeExamplesTest, TheRegistryExampleIsTheShippedFile) {
  const std::vector<std::string> lines = Block(Readme(), "string, `dword:` and `hex:`");
  std::istringstream file(ReadRepoFile("examples/pinpads.reg"));
  std::vector<std::string> shipped;
  for (std::string line; std::getline(file, line);) shipped.push_back(line);
  EXPECT_EQ(lines, shipped);
}

// `korvex demo` run as a child process with `args`, or the lines the README shows `make demo`
// printing, with what changes from run to run (times, port) replaced.
std::vector<std::string> DemoLines(std::vector<std::string> args, bool readme) {
  static const std::regex varying(
      R"(\[ *[0-9]+\.[0-9]{3}s\]|127\.0\.0\.1:[0-9]+|elapsed: [0-9]+\.[0-9]{3} s)");
  std::vector<std::string> lines = Block(Readme(), "`make demo` shows:");
  if (!readme) {
    args.insert(args.begin(), {"cli/korvex", "demo"});
    korvex::testing::ChildProcess demo(args);
    lines.clear();
    while (auto line = demo.ReadLine(20s)) lines.push_back(*line);
    EXPECT_EQ(demo.Wait(20s), 0) << demo.errors;
  }
  for (std::string& line : lines) line = std::regex_replace(line, varying, "~");
  return lines;
}

// Every step's event in order, the purchase approved, no protocol violation, card data
// masked: the demo prints exactly what the README shows, and exits 0.
TEST(DemoProcessTest, PrintsWhatTheReadmeShowsWithCardDataMasked) {
  EXPECT_EQ(DemoLines({}, false), DemoLines({}, true));
}

// --show-card-data shows the receipt's PAN and the swiped track whole; --trace 10 adds the
// debug events of level 10 and above only.
TEST(DemoProcessTest, ShowCardDataPrintsThePanAndTrackInClearAndTraceAddsItsLevels) {
  std::vector<std::string> lines = DemoLines({"--show-card-data", "--trace", "10"}, false);
  const auto debug = std::stable_partition(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("~   debug ", 0) != 0;
  });
  const std::vector<std::string> traces(debug, lines.end());
  lines.erase(debug, lines.end());
  std::vector<std::string> clear = DemoLines({}, true);
  for (std::string& line : clear) {
    line = std::regex_replace(line, std::regex("476173\\*{6}0010"), "4761739001010010");
    line = std::regex_replace(line, std::regex("541333\\*{6}0011=\\*{16}"),
                              "5413330089020011=2512101000000000");
  }
  EXPECT_EQ(lines, clear);
  EXPECT_NE(std::find(traces.begin(), traces.end(), "~   debug 10: EMV Tabelid kustutatud!"),
            traces.end());
  for (const std::string& t : traces) {  // no card number at these levels
    EXPECT_GE(std::stoi(t.substr(10)), 10) << t;
    EXPECT_TRUE(t.find("4761739001") == t.npos && t.find("5413330089") == t.npos) << t;
  }
}

}  // namespace
}  // namespace korvex::cli
