// The README's "Real PIN pads" section runs as written: every option of its
// command lines and tables is one the tool takes, and every example file it
// names exists and loads.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "cli/child_process.h"
#include "harness/repo_files.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;

std::string RealPadsSection() {
  const std::string readme = ReadRepoFile("README.md");
  const size_t start = readme.find("## Real PIN pads");
  return start == std::string::npos ? ""
                                    : readme.substr(start, readme.find("\n## ", start + 1) - start);
}

std::string Help(std::vector<std::string> argv) {
  argv.push_back("--help");
  ChildProcess tool(argv);
  std::string help;
  while (auto line = tool.ReadLine(10s)) help += *line + "\n";
  EXPECT_EQ(tool.Wait(10s), 0) << tool.errors;
  return help;
}

TEST(RouterReadme, CommandsUseOptionsTheToolsTakeAndShippedFiles) {
  const std::string section = RealPadsSection();
  ASSERT_FALSE(section.empty());
  const std::string routerHelp = Help({"router/korvex-router"});
  const std::string hostHelp = Help({"cli/korvex", "host"});
  const std::regex option("`(--[a-z-]+)|\\s(--[a-z-]+)");
  int routerOptions = 0, hostOptions = 0;
  std::istringstream lines(section);
  for (std::string line; std::getline(lines, line);) {
    const bool host = line.find("korvex host") != std::string::npos;
    for (std::sregex_iterator m(line.begin(), line.end(), option), end; m != end; ++m) {
      const std::string name = (*m)[1].matched ? (*m)[1].str() : (*m)[2].str();
      const std::string& help = host ? hostHelp : routerHelp;
      EXPECT_NE(help.find(name + " "), std::string::npos) << name << " in: " << line;
      ++(host ? hostOptions : routerOptions);
    }
  }
  EXPECT_GE(routerOptions, 9);
  EXPECT_GE(hostOptions, 2);

  const std::regex example("examples/[a-z.-]+");
  int files = 0;
  for (std::sregex_iterator m(section.begin(), section.end(), example), end; m != end; ++m) {
    EXPECT_TRUE(std::ifstream(RepoPath(m->str())).good()) << m->str();
    ++files;
  }
  EXPECT_GE(files, 3);  // the router example loads in config_test
}

}  // namespace
}  // namespace korvex::testing
