#include "korvex/reg_file_registry.h"

#include <gtest/gtest.h>

#include "registry/error_log_capture.h"

namespace korvex {
namespace {

using testing::ErrorLogCapture;

// UTF-16LE with a byte-order mark, as the registry editor saves version 5 files.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

// Values are read back through the reader, which cuts them at the first NUL.
TEST(RegFile, ReadsVersion5UnicodeFiles) {
  testing::TempDir dir;
  RegFileRegistry reg(
      dir.Write("shop.reg", Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop]\r\n"
                                      u"\"Host\"=\"r\u00E4 \\\\x \\\"q\\\"\"\r\n"
                                      u"\"Name\"=\"\u017D\u20AC\U0001F600\" ; c\r\n"
                                      u"@=\"default\"\r\n"
                                      u"\"Port\"=dword:00636261\r\n"
                                      u"; a comment line\r\n"
                                      u"\"Bin\"=hex:61,62,\\\r\n"
                                      u"  63,00,64\r\n"
                                      u"\"Exp\"=hex(2):25,00,41,00,00,00\r\n")));
  ASSERT_TRUE(reg.Loaded()) << reg.Error();
  const auto read = [&](const char* name) { return GetSoftwareRegString(reg, "Shop", name, "-"); };
  EXPECT_EQ(read("Host"), "r\xE4 \\x \"q\"");
  EXPECT_EQ(read("Name"), "\xDE\x80?");
  EXPECT_EQ(read(""), "default");
  EXPECT_EQ(read("Port"), "abc");  // four bytes, low first
  EXPECT_EQ(read("Bin"), "abc");
  EXPECT_EQ(read("Exp"), "%A");  // text types come back in the code page
}

TEST(RegFile, ReadsRegedit4FilesWithDeletions) {
  ErrorLogCapture log;
  RegFileRegistry reg(log.dir.Write("shop.reg",
                                    "REGEDIT4\n"
                                    "[HKLM\\SOFTWARE\\Shop\\P1]\n"
                                    "\"Host\"=\"r\xE4uter\"\n"
                                    "\"Com\"=\"3\"\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\P2\\Sub]\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\P20]\n"
                                    "\"Com\"=\"5\"\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\P1]\n"
                                    "\"Com\"=-\n"
                                    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\P2]\n"));
  ASSERT_TRUE(reg.Loaded()) << reg.Error();
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\P1", "Host", ""), "r\xE4uter");
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\P1", "Com", "gone"), "gone");
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop\\P20", "Com", "gone"), "5");
  RegHandle h = 0;
  EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Shop\\P2\\Sub", kKeyRead, h),
            kRegFileNotFound);
  EXPECT_EQ(log.Text(), "");  // "not found" is no failure
}

TEST(RegFile, MalformedOrUnreadableFilesFailEveryOpenAndAreLogged) {
  const struct {
    const char* text;
    int line;
    const char* what;
  } cases[] = {
      {"REGEDIT5\r\n", 1, "not a registry export file"},
      {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", 3, "unterminated key section"},
      {"REGEDIT4\r\n\"a\"=\"b\"\r\n", 2, "before any [key]"},
      {"\"a\"=\"b\\q\"\r\n", 3, "unknown escape \\q"},
      {"\"a\"=dword:123456789\r\n", 3, "dword:"},
      {"\"a\"=hex:01,02\\\r\n  03 04\r\n", 4, "expected \",\""},
  };
  for (const auto& c : cases) {
    ErrorLogCapture log;
    const std::string ok = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop]\r\n";
    const std::string path = log.dir.Write("bad.reg", c.text[0] == '"' ? ok + c.text : c.text);
    RegFileRegistry reg(path);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(reg.Status(), kRegBadFormat);
    EXPECT_EQ(reg.Error().rfind(path + ":" + std::to_string(c.line) + ": ", 0), 0u) << reg.Error();
    EXPECT_NE(reg.Error().find(c.what), std::string::npos) << reg.Error();
    // Nothing of the file is served, not even the keys before the fault.
    EXPECT_EQ(GetSoftwareRegString(reg, "Shop", "a", "dflt"), "dflt");
    EXPECT_NE(log.Text().find("\t(321 - RegOpenKeyEx andis vea 1009, hkey=-2147483646, "
                              "asukoht=SOFTWARE\\Shop) \r\n"),
              std::string::npos)
        << log.Text();
  }
  ErrorLogCapture log;
  RegFileRegistry absent(log.dir.File("absent.reg"));
  EXPECT_EQ(absent.Status(), kRegIoFailed);
  EXPECT_EQ(GetSoftwareRegString(absent, "Shop", "a", "dflt"), "dflt");
  EXPECT_NE(log.Text().find("RegOpenKeyEx andis vea 1016,"), std::string::npos);
}

}  // namespace
}  // namespace korvex
