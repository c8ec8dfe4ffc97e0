// The Windows registry backend against the registry that `make wine-test`
// imports with regedit from the same .reg files the export-file backend reads.
#ifdef _WIN32

#include "korvex/win_registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "korvex/reg_file_registry.h"
#include "registry/error_log_capture.h"
#include "support/registry_reading.h"

namespace korvex {
namespace {

using testing::ErrorLogCapture;

std::string SourceFile(const std::string& relative) {
  const auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  return (root / relative).string();
}

TEST(WinRegistry, ReadsWhatTheRegFileBackendReadsFromTheSameFile) {
  ErrorLogCapture log;
  WinRegistry system;
  const struct {
    const char* file;
    const char* subKey;
    const char* value;
    std::string expected;
  } cases[] = {
      {"examples/pinpads.reg", "Software\\Shop\\PinPads\\P1", "RouterHost", "127.0.0.1"},
      {"examples/pinpads.reg", "Shop\\PinPads\\P1", "RouterPort", "4001"},
      {"examples/pinpads.reg", "x\\SOFTWARE\\Shop\\PinPads\\P1", "Com", "1"},
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P1", "RouterHost",
       "pinpad-router.local"},
      {"tests/registry/win_registry.reg", "korvextest\\pinpads\\p1", "routerport", "4001"},
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P1", "Com", "7"},
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P2", "RouterHost", "k\xE4ssa 2"},
      // A dword's bytes up to the first NUL; binary data likewise.
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P2", "RouterPort", "A4"},
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P2", "Com", "3"},
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P2", "Empty", ""},
      // Missing values and keys give the default and log nothing.
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P3", "RouterHost", "dflt"},
      {"tests/registry/win_registry.reg", "KorvexTest\\PinPads\\P9", "RouterHost", "dflt"},
  };
  for (const auto& c : cases) {
    RegFileRegistry exported(SourceFile(c.file));
    ASSERT_TRUE(exported.Loaded()) << exported.Error();
    EXPECT_EQ(GetSoftwareRegString(system, c.subKey, c.value, "dflt"), c.expected)
        << c.subKey << " " << c.value;
    EXPECT_EQ(GetSoftwareRegString(exported, c.subKey, c.value, "dflt"), c.expected)
        << c.subKey << " " << c.value;
  }
  EXPECT_EQ(log.Text(), "");
}

// Status codes, types and sizes are the API's own, and agree with the
// export-file backend's, which imitates them.
TEST(WinRegistry, AnswersLikeTheRegFileBackend) {
  RegFileRegistry exported(SourceFile("tests/registry/win_registry.reg"));
  ASSERT_TRUE(exported.Loaded()) << exported.Error();
  WinRegistry system;
  RegistryBackend* const backends[] = {&system, &exported};
  for (RegistryBackend* registry : backends) {
    SCOPED_TRACE(registry == &system ? "system registry" : "export file");
    RegHandle key = 0;
    EXPECT_EQ(registry->OpenKey(kHkeyLocalMachine, "SOFTWARE\\KorvexTest\\Absent", kKeyRead, key),
              kRegFileNotFound);
    ASSERT_EQ(
        registry->OpenKey(kHkeyLocalMachine, "SOFTWARE\\KorvexTest\\PinPads\\P2", kKeyRead, key),
        kRegSuccess);
    const struct {
      const char* name;
      int32_t status;
      uint32_t type;
      uint32_t size;
    } values[] = {
        {"RouterHost", kRegSuccess, 1, 8},  // with its NUL
        {"RouterPort", kRegSuccess, 4, 4}, {"Com", kRegSuccess, 3, 4},
        {"Empty", kRegSuccess, 1, 1},      {"Absent", kRegFileNotFound, 0, 0},
    };
    for (const auto& v : values) {
      uint32_t type = 0, size = 0;
      EXPECT_EQ(registry->QueryValue(key, v.name, type, nullptr, size), v.status) << v.name;
      if (v.status != kRegSuccess) continue;
      EXPECT_EQ(type, v.type) << v.name;
      EXPECT_EQ(size, v.size) << v.name;
    }
    char small[3] = {};
    uint32_t type = 0, size = sizeof small;
    EXPECT_EQ(registry->QueryValue(key, "RouterHost", type, small, size), kRegMoreData);
    EXPECT_EQ(size, 8u);
    char whole[8] = {};
    size = sizeof whole;
    EXPECT_EQ(registry->QueryValue(key, "RouterHost", type, whole, size), kRegSuccess);
    EXPECT_EQ(std::string(whole, size), std::string("k\xE4ssa 2", 8));
    EXPECT_EQ(registry->CloseKey(key), kRegSuccess);
  }
}

}  // namespace
}  // namespace korvex

#endif  // _WIN32
