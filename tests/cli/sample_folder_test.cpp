// The demo's sample download folder: an installed tree's copy first, and a
// writable folder for the pad's key files whatever the installation's owner.
#include "cli/sample_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "harness/temp_dir.h"

namespace korvex::cli {
namespace {

namespace fs = std::filesystem;

TEST(SampleFolder, InstalledTreeFirstThenBuildTree) {
  const struct {
    const char* made;  // folder made under the prefix, "" none
    bool installed;    // the installed folder is the answer
  } cases[] = {
      {"share/korvex/download/Constant", true},
      {"share/korvex/download", false},  // no Constant: not the sample folder
      {"share/korvex", false},
      {"", false},
  };
  for (const auto& c : cases) {
    testing::TempDir prefix;
    fs::create_directories(fs::path(prefix.path()) / "bin");
    if (c.made[0] != '\0') fs::create_directories(fs::path(prefix.path()) / c.made);
    const std::string found = SampleDownloadFolder(prefix.File("bin"), "/build/download");
    if (c.installed) {
      EXPECT_TRUE(fs::equivalent(found, fs::path(prefix.path()) / "share/korvex/download"))
          << c.made << ": " << found;
    } else {
      EXPECT_EQ(found, "/build/download") << c.made;
    }
  }
  EXPECT_EQ(SampleDownloadFolder("", "/build/download"), "/build/download");
}

TEST(SampleFolder, ReadOnlyFolderIsUsedThroughACopy) {
  testing::TempDir dir;
  fs::create_directories(dir.File("download/Constant"));
  dir.Write("download/Constant/EMVAPP.out", "image");
  {
    const WritableFolder writable(dir.File("download"));
    EXPECT_EQ(writable.Path(), dir.File("download"));
  }
  {
    const WritableFolder missing(dir.File("nowhere"));
    EXPECT_EQ(missing.Path(), "");
    EXPECT_NE(missing.Error().find("nowhere"), std::string::npos) << missing.Error();
  }

  fs::permissions(dir.File("download"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::string copy;
  {
    const WritableFolder readOnly(dir.File("download"));
    copy = readOnly.Path();
    if (copy == dir.File("download")) {
      fs::permissions(dir.File("download"), fs::perms::owner_write, fs::perm_options::add);
      GTEST_SKIP() << "the folder stays writable for this user (root, or no permissions)";
    }
    ASSERT_FALSE(copy.empty()) << readOnly.Error();
    EXPECT_TRUE(fs::is_regular_file(fs::path(copy) / "Constant" / "EMVAPP.out"));
    EXPECT_TRUE(fs::create_directory(fs::path(copy) / "PAD1"));
  }
  EXPECT_FALSE(fs::exists(copy));
  fs::permissions(dir.File("download"), fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
}  // namespace korvex::cli
