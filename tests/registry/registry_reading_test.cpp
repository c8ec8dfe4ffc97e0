#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "korvex/memory_registry.h"
#include "registry/error_log_capture.h"
#include "support/error_log.h"
#include "support/files.h"
#include "support/registry_reading.h"

namespace korvex {
namespace {

const std::string kP1 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1";

TEST(GetRegString, PathRuleNulRuleQuietFallbacksAndLoggedFailures) {
  testing::ErrorLogCapture log;
  MemoryRegistry reg;
  reg.SetValue(kP1, "ab", std::string("a\0b", 3), 3);
  reg.SetValue(kP1, "blank", std::string("\0", 1));
  reg.SetValue(kP1, "none", "");
  reg.FailQuery(kP1, "locked", 5);
  reg.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\y", "ab", "9");
  const auto read = [&](const std::string& key, const std::string& name) {
    return GetSoftwareRegString(reg, key, name, "dflt");
  };
  // Everything up to the first "Software\" is dropped, in any case.
  EXPECT_EQ(read("Software\\Shop\\PinPads\\P1", "ab"), "a");
  EXPECT_EQ(read("Shop\\PinPads\\P1", "ab"), "a");
  EXPECT_EQ(read("x\\SOFTWARE\\y", "ab"), "9");
  EXPECT_EQ(read("Shop\\PinPads\\P1", "blank"), "");
  for (const char* name : {"none", "missing", "locked"}) {
    EXPECT_EQ(read("Shop\\PinPads\\P1", name), "dflt") << name;
  }
  EXPECT_EQ(read("Shop\\PinPads\\P9", "ab"), "dflt");
  EXPECT_EQ(log.Text(), "");

  // An unexpected failure to open is logged, one line each.
  reg.FailOpen(kP1, 5);
  EXPECT_EQ(read("Shop\\PinPads\\P1", "ab"), "dflt");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  const std::regex line(
      "<" + GetComputerNameText() +
      ">\tGetRegString , [0-9]{2}\\. \\S+ [0-9]{4} kell [0-9]{2}:[0-9]{2}:[0-9]{2}"
      "\t\\(321 - RegOpenKeyEx andis vea 5, hkey=-2147483646, "
      "asukoht=SOFTWARE\\\\Shop\\\\PinPads\\\\P1\\) \r\n");
  EXPECT_TRUE(std::regex_match(log.Text(), line)) << log.Text();
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

TEST(Paths, BuildPathAndTheDefaultErrorLog) {
  EXPECT_EQ(BuildPath("C:", "x.err"), "C:x.err");
  EXPECT_EQ(BuildPath("C:\\dir", "x.err"), "C:\\dir\\x.err");
  EXPECT_EQ(BuildPath("C:\\dir\\", "x.err"), "C:\\dir\\x.err");
  EXPECT_EQ(BuildPath("", "x.err"), std::filesystem::current_path().string() + "\\x.err");

  // The control library's own folder and name.
  const std::filesystem::path path = DefaultErrorLogPath();
  EXPECT_EQ(path.filename(), "libkorvex.err");
  const char* build = std::getenv("KORVEX_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  EXPECT_TRUE(std::filesystem::equivalent(path.parent_path(), build)) << path;
}

}  // namespace
}  // namespace korvex
