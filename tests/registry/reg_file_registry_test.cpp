#include "korvex/reg_file_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "registry/error_log_capture.h"
#include "support/std_lib.h"

namespace korvex {
namespace {

using testing::ErrorLogCapture;
using testing::TempDir;

// UTF-16LE with a byte-order mark, as the registry editor saves version 5 files.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

struct Raw {
  uint32_t type = 0;
  std::string bytes;
};

Raw Query(RegistryBackend& reg, const std::string& key, const std::string& name) {
  RegHandle h = 0;
  Raw raw;
  if (reg.OpenKey(kHkeyLocalMachine, key, kKeyRead, h) != kRegSuccess) return raw;
  uint32_t size = 0;
  if (reg.QueryValue(h, name, raw.type, nullptr, size) == kRegSuccess) {
    raw.bytes.assign(size, '\0');
    reg.QueryValue(h, name, raw.type, raw.bytes.data(), size);
  }
  reg.CloseKey(h);
  return raw;
}

TEST(RegFile, ReadsVersion5UnicodeFiles) {
  TempDir dir;
  const std::string path =
      dir.Write("shop.reg", Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\r\n"
                                      u"\"RouterHost\"=\"r\u00E4 \\\\x \\\"q\\\"\"\r\n"
                                      u"\"Name\"=\"\u017D\u20AC\u4E2D\U0001F600\" ; comment\r\n"
                                      u"@=\"default\"\r\n"
                                      u"\"Port\"=dword:0000002A\r\n"
                                      u"; a comment line\r\n"
                                      u"\"Bin\"=hex:61,00,62,\\\r\n"
                                      u"  63\r\n"
                                      u"\"Exp\"=hex(2):25,00,41,00,00,00\r\n"));
  RegFileRegistry reg(path);
  ASSERT_TRUE(reg.Loaded()) << reg.Error();
  const std::string key = "SOFTWARE\\Shop\\PinPads\\P1";
  EXPECT_EQ(GetSoftwareRegString(reg, key, "RouterHost", ""), "r\xE4 \\x \"q\"");
  EXPECT_EQ(GetSoftwareRegString(reg, key, "Name", ""), "\xDE\x80??");
  EXPECT_EQ(GetSoftwareRegString(reg, key, "", ""), "default");
  EXPECT_EQ(GetSoftwareRegString(reg, key, "Port", ""), "*");  // 2A 00 00 00, cut at NUL
  EXPECT_EQ(GetSoftwareRegString(reg, key, "Bin", ""), "a");
  Raw raw = Query(reg, key, "Port");
  EXPECT_EQ(raw.type, 4u);
  EXPECT_EQ(raw.bytes, std::string("\x2A\0\0\0", 4));
  raw = Query(reg, key, "Bin");
  EXPECT_EQ(raw.type, 3u);
  EXPECT_EQ(raw.bytes, std::string("a\0bc", 4));
  raw = Query(reg, key, "Exp");  // text types come back in the code page
  EXPECT_EQ(raw.type, 2u);
  EXPECT_EQ(raw.bytes, std::string("%A\0", 3));
  EXPECT_EQ(Query(reg, key, "RouterHost").bytes, std::string("r\xE4 \\x \"q\"\0", 10));
}

TEST(RegFile, ReadsRegedit4FilesAndDeletions) {
  ErrorLogCapture log;
  TempDir dir;
  RegFileRegistry reg(dir.Write("shop.reg",
                                "REGEDIT4\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\n"
                                "\"RouterHost\"=\"r\xE4uter\"\n"
                                "\"Com\"=\"3\"\n"
                                "\"Exp\"=hex(2):25,41,00\n"
                                "[HKLM\\SOFTWARE\\Shop\\PinPads\\P2]\n"
                                "\"Com\"=\"4\"\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P2\\Sub]\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P20]\n"
                                "\"Com\"=\"5\"\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\n"
                                "\"Com\"=-\n"
                                "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P2]\n"));
  ASSERT_TRUE(reg.Loaded()) << reg.Error();
  const std::string key = "Software\\Shop\\PinPads\\P1";
  EXPECT_EQ(GetSoftwareRegString(reg, key, "RouterHost", ""), "r\xE4uter");
  EXPECT_EQ(Query(reg, key, "Exp").bytes, std::string("%A\0", 3));
  EXPECT_EQ(GetSoftwareRegString(reg, key, "Com", "gone"), "gone");
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\PinPads\\P2", "Com", "gone"), "gone");
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\PinPads\\P20", "Com", "gone"), "5");
  RegHandle h = 0;
  EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Shop\\PinPads\\P2\\Sub", kKeyRead, h),
            kRegFileNotFound);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(log.Text(), "");  // "not found" is no failure
}

struct Broken {
  const char* text;
  int line;
  const char* what;
};

TEST(RegFile, MalformedFilesFailEveryOpenAndAreLogged) {
  const std::string ok = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop]\r\n";
  const Broken cases[] = {
      {"REGEDIT5\r\n", 1, "not a registry export file"},
      {"\xEF\xBB\xBFREGEDIT4\r\n", 1, "UTF-8"},
      {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", 3, "unterminated key section"},
      {"REGEDIT4\r\n[HKEY_NOWHERE\\x]\r\n", 2, "unknown root key"},
      {"REGEDIT4\r\n\"a\"=\"b\"\r\n", 2, "before any [key]"},
      {"\"a\"=\"b\\q\"\r\n", 3, "unknown escape \\q"},
      {"\"a\"=\"b\r\n", 3, "unterminated string"},
      {"\"a\" \"b\"\r\n", 3, "expected \"=\""},
      {"\"a\"=dword:123456789\r\n", 3, "dword:"},
      {"\"a\"=hex:01,02\\\r\n  03 04\r\n", 4, "expected \",\""},
      {"\"a\"=hex:01,\\", 3, "past the end"},
      {"\"a\"=str:x\r\n", 3, "unrecognised value data"},
  };
  for (const Broken& c : cases) {
    ErrorLogCapture log;
    TempDir dir;
    const std::string text = c.text[0] == '"' ? ok + c.text : c.text;
    const std::string path = dir.Write("bad.reg", text);
    RegFileRegistry reg(path);
    SCOPED_TRACE(c.text);
    EXPECT_FALSE(reg.Loaded());
    EXPECT_EQ(reg.Status(), kRegBadFormat);
    EXPECT_EQ(reg.Error().rfind(path + ":" + std::to_string(c.line) + ": ", 0), 0u) << reg.Error();
    EXPECT_NE(reg.Error().find(c.what), std::string::npos) << reg.Error();
    // Nothing of the file is served, not even the keys before the fault.
    EXPECT_EQ(GetSoftwareRegString(reg, "Shop", "a", "dflt"), "dflt");
    EXPECT_NE(log.Text().find("(321 - RegOpenKeyEx andis vea 1009, hkey=-2147483646, "
                              "asukoht=SOFTWARE\\Shop) \r\n"),
              std::string::npos)
        << log.Text();
  }
}

TEST(RegFile, UnreadableFileIsAnOpenFailureToo) {
  ErrorLogCapture log;
  TempDir dir;
  RegFileRegistry reg(dir.File("absent.reg"));
  EXPECT_EQ(reg.Status(), kRegIoFailed);
  EXPECT_NE(reg.Error().find(dir.File("absent.reg") + ": "), std::string::npos);
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop", "a", "dflt"), "dflt");
  EXPECT_NE(log.Text().find("RegOpenKeyEx andis vea 1016,"), std::string::npos);

  // Fixing the file and reloading serves it.
  dir.Write("absent.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop]\n\"a\"=\"b\"\n");
  EXPECT_TRUE(reg.Reload());
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop", "a", "dflt"), "b");
}

TEST(RegFile, EnvironmentNamesTheFile) {
  TempDir dir;
  const std::string path =
      dir.Write("env.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop]\n\"a\"=\"b\"\n");
  setenv(kRegistryEnvironmentVariable, path.c_str(), 1);
  std::string error = "stale";
  auto fromFile = RegistryFromEnvironment(&error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(GetSoftwareRegString(*fromFile, "Shop", "a", "dflt"), "b");

  setenv(kRegistryEnvironmentVariable, dir.File("absent.reg").c_str(), 1);
  RegistryFromEnvironment(&error);
  EXPECT_NE(error.find("absent.reg"), std::string::npos);

  unsetenv(kRegistryEnvironmentVariable);
  auto empty = RegistryFromEnvironment(&error);
  EXPECT_EQ(error, "");
  EXPECT_NE(dynamic_cast<MemoryRegistry*>(empty.get()), nullptr);
}

}  // namespace
}  // namespace korvex
