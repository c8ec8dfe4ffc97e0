#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "korvex/memory_registry.h"
#include "registry/error_log_capture.h"
#include "support/std_lib.h"

namespace korvex {
namespace {

using testing::ErrorLogCapture;

const std::string kP1 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1";

// Answers the size question but fails the read itself.
class ReadFailingRegistry : public MemoryRegistry {
 public:
  int32_t readStatus = 0;
  int32_t QueryValue(RegHandle key, const std::string& name, uint32_t& type, char* data,
                     uint32_t& size) override {
    if (data != nullptr && readStatus != 0) return readStatus;
    return MemoryRegistry::QueryValue(key, name, type, data, size);
  }
};

TEST(GetSoftwareRegString, DropsEverythingUpToSoftware) {
  MemoryRegistry reg;
  reg.SetValue(kP1, "Com", std::string("7\0", 2));
  reg.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\y", "Com", "9");
  EXPECT_EQ(GetSoftwareRegString(reg, "Software\\Shop\\PinPads\\P1", "Com", "d"), "7");
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\PinPads\\P1", "Com", "d"), "7");
  EXPECT_EQ(GetSoftwareRegString(reg, "x\\SOFTWARE\\y", "Com", "d"), "9");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(GetRegString, CutsAtTheFirstNulAndFallsBackQuietly) {
  ErrorLogCapture log;
  MemoryRegistry reg;
  reg.SetValue(kP1, "ab", std::string("a\0b", 3), 3);
  reg.SetValue(kP1, "blank", std::string("\0", 1));
  reg.SetValue(kP1, "none", "");
  reg.FailQuery(kP1, "locked", 5);  // the size question fails: quiet
  const auto read = [&](const std::string& key, const std::string& name) {
    return GetRegString(reg, kHkeyLocalMachine, key, name, "dflt");
  };
  EXPECT_EQ(read("SOFTWARE\\Shop\\PinPads\\P1", "ab"), "a");
  EXPECT_EQ(read("SOFTWARE\\Shop\\PinPads\\P1", "blank"), "");
  EXPECT_EQ(read("SOFTWARE\\Shop\\PinPads\\P1", "none"), "dflt");
  EXPECT_EQ(read("SOFTWARE\\Shop\\PinPads\\P1", "missing"), "dflt");
  EXPECT_EQ(read("SOFTWARE\\Shop\\PinPads\\P1", "locked"), "dflt");
  EXPECT_EQ(read("SOFTWARE\\Shop\\PinPads\\P9", "ab"), "dflt");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(log.Text(), "");
}

TEST(GetRegString, LogsUnexpectedOpenAndReadFailures) {
  ErrorLogCapture log;
  ReadFailingRegistry reg;
  reg.SetValue(kP1, "Com", "7");
  reg.FailOpen("HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked", 5);
  EXPECT_EQ(GetRegString(reg, kHkeyLocalMachine, "SOFTWARE\\Locked", "Com", "0"), "0");
  reg.readStatus = 1010;  // not logged
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\PinPads\\P1", "Com", "0"), "0");
  reg.readStatus = 234;
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\PinPads\\P1", "Com", "0"), "0");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);

  const std::string stamp = "[0-9]{2}\\. \\S+ [0-9]{4} kell [0-9]{2}:[0-9]{2}:[0-9]{2}";
  const std::regex expected(
      "<" + GetComputerNameText() + ">\tGetRegString , " + stamp +
      "\t\\(321 - RegOpenKeyEx andis vea 5, hkey=-2147483646, asukoht=SOFTWARE\\\\Locked\\) \r\n"
      "<[^>]+>\tGetRegString , " +
      stamp +
      "\t\\(321 - RegQueryValueEx andis vea 234, hkey=-2147483646, key=Com "
      "asukoht=SOFTWARE\\\\Shop\\\\PinPads\\\\P1\\) \r\n");
  EXPECT_TRUE(std::regex_match(log.Text(), expected)) << log.Text();
}

TEST(LogError, AppendsOneExactLinePerCall) {
  testing::TempDir dir;
  const std::string path = dir.File("x.err");
  const LocalDateTime at{2026, 3, 4, 9, 5, 7};
  LogError(-7, "first", "Proc", path, &at);
  LogError(321, "second", "Other", path, &at);
  const std::string host = "<" + GetComputerNameText() + ">\t";
  EXPECT_EQ(dir.Read("x.err"), host + "Proc , 04. m\xE4rts 2026 kell 09:05:07\t(-7 - first) \r\n" +
                                   host +
                                   "Other , 04. m\xE4rts 2026 kell 09:05:07\t(321 - second) \r\n");
  LogError(1, "lost", "P", dir.File("no/such/folder.err"), &at);  // swallowed
  EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST(DateText, WritesValidDatesOnly) {
  EXPECT_EQ(DateText({2026, 3, 4}), "04. m\xE4rts 2026");
  EXPECT_EQ(DateText({1999, 12, 31, 23, 59, 59}), "31. detsember 1999");
  EXPECT_EQ(DateText({2024, 2, 29}), "29. veebruar 2024");
  EXPECT_EQ(DateText({2000, 2, 29}), "29. veebruar 2000");
  for (const LocalDateTime& bad :
       {LocalDateTime{2026, 13, 1}, LocalDateTime{2026, 2, 29}, LocalDateTime{1900, 2, 29},
        LocalDateTime{2026, 4, 31}, LocalDateTime{2026, 0, 1}, LocalDateTime{2026, 1, 1, 24}}) {
    EXPECT_EQ(DateText(bad), "") << bad.year << "-" << bad.month << "-" << bad.day;
  }
}

TEST(BuildPath, AddsABackslashUnlessTheFolderEndsInOne) {
  EXPECT_EQ(BuildPath("C:", "x.err"), "C:x.err");
  EXPECT_EQ(BuildPath("C:\\dir", "x.err"), "C:\\dir\\x.err");
  EXPECT_EQ(BuildPath("C:\\dir\\", "x.err"), "C:\\dir\\x.err");
  EXPECT_EQ(BuildPath("", "x.err"), std::filesystem::current_path().string() + "\\x.err");
}

TEST(ErrorLogPath, DefaultsToTheLibraryFolderAndName) {
  const std::filesystem::path path = DefaultErrorLogPath();
  EXPECT_EQ(path.filename(), "libkorvex.err");
  const char* build = std::getenv("KORVEX_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  EXPECT_TRUE(std::filesystem::equivalent(path.parent_path(), build)) << path;
  EXPECT_EQ(ErrorLogPath(), path.string());
}

}  // namespace
}  // namespace korvex
