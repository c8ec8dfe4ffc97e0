// The sample download folder the build assembles: every file the folder's
// README lists is there at its listed size, nothing else is, and the
// generated files are byte for byte what the generator makes now, so a build
// is repeatable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "examples/download/generated_files.h"

namespace korvex::samples {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path BuiltFolder() {
  const char* build = std::getenv("KORVEX_BUILD_DIR");
  return fs::path(build ? build : ".") / "download" / "Constant";
}

// File name -> size, from the rows of the folder's README table.
std::map<std::string, uintmax_t> DocumentedSizes() {
  const std::string source = __FILE__;
  const std::string readme =
      ReadFile(source.substr(0, source.rfind("tests/")) + "examples/download/README.md");
  const std::regex row(R"(\n\| `([^`]+)` \| ([0-9]+) \|)");
  std::map<std::string, uintmax_t> sizes;
  for (std::sregex_iterator m(readme.begin(), readme.end(), row), end; m != end; ++m) {
    sizes[(*m)[1].str()] = std::stoull((*m)[2].str());
  }
  return sizes;
}

TEST(DownloadFolderTest, HoldsTheDocumentedFilesAtTheirSizes) {
  const auto documented = DocumentedSizes();
  EXPECT_EQ(documented.size(), 24u);
  std::set<std::string> present;
  for (const auto& entry : fs::directory_iterator(BuiltFolder())) {
    const std::string name = entry.path().filename().string();
    present.insert(name);
    const auto listed = documented.find(name);
    if (listed == documented.end()) {
      ADD_FAILURE() << name << " is in the folder but not in its README";
      continue;
    }
    EXPECT_EQ(entry.file_size(), listed->second) << name;
  }
  for (const auto& listed : documented) {
    EXPECT_TRUE(present.count(listed.first)) << listed.first << " missing";
  }
}

TEST(DownloadFolderTest, GeneratedFilesAreRepeatableAndTheImageIsRecognisable) {
  for (const GeneratedFile& file : GeneratedFiles(KORVEX_PROJECT_VERSION)) {
    EXPECT_TRUE(ReadFile(BuiltFolder() / file.name) == file.bytes) << file.name << " differs";
  }
  const std::string image = ReadFile(BuiltFolder() / "EMVAPP.out");
  const std::string head = "KORVEX-EMVAPP\nversion=" KORVEX_PROJECT_VERSION "\n";
  ASSERT_EQ(image.substr(0, head.size()), head);
  // Every byte value, control characters included, crosses the download.
  std::set<unsigned char> values(image.begin() + static_cast<long>(head.size()), image.end());
  EXPECT_EQ(values.size(), 256u);
}

}  // namespace
}  // namespace korvex::samples
