// Files of the source tree (README, examples), found from this header's path.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace korvex::testing {

// The path of `relative` in the source tree, e.g. "examples/terminal.json".
inline std::string RepoPath(const std::string& relative) {
  const std::string self = __FILE__;
  return self.substr(0, self.rfind("tests/harness/")) + relative;
}

// The whole file, or "" when it cannot be read.
inline std::string ReadRepoFile(const std::string& relative) {
  std::ifstream file(RepoPath(relative), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace korvex::testing
