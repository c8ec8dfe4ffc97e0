#include "korvex/reg_file_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "registry/error_log_capture.h"
#include "support/registry_reading.h"

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

// Only a regular file of at most 1 MiB is read, and its header is checked
// before the rest: none of these blocks or reads without limit.
TEST(RegFile, RefusesWhatIsNoSmallRegularFileAtOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs, /dev/zero and sparse files are POSIX";
#else
  testing::TempDir dir;
  const std::string fifo = dir.File("fifo.reg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = dir.Write("big.reg", "REGEDIT4\r\n");
  const std::string garbage = dir.Write("garbage.reg", "MZ\x90");
  std::filesystem::resize_file(big, 300u << 20);  // sparse: no disk used
  std::filesystem::resize_file(garbage, 300u << 20);
  const std::string over = dir.Write("over.reg", "REGEDIT4\r\n" + std::string((1 << 20) - 9, ';'));
  const struct {
    std::string path;
    int32_t status;
    std::string message;
  } cases[] = {
      {"/dev/zero", kRegIoFailed, "/dev/zero: cannot read the registry file: not a regular file"},
      {fifo, kRegIoFailed, fifo + ": cannot read the registry file: not a regular file"},
      {dir.path(), kRegIoFailed,
       dir.path() + ": cannot read the registry file: not a regular file"},
      {big, kRegIoFailed, big + ": cannot read the registry file: larger than 1 MiB"},
      {over, kRegIoFailed, over + ": cannot read the registry file: larger than 1 MiB"},
      {garbage, kRegBadFormat, garbage + ":1: not a registry export file"},
  };
  for (const auto& c : cases) {
    RegFileRegistry reg(c.path);
    EXPECT_EQ(reg.Status(), c.status) << c.path;
    EXPECT_EQ(reg.Error().substr(0, c.message.size()), c.message);
  }
  // One byte less is taken.
  const std::string most = dir.Write("most.reg", "REGEDIT4\r\n" + std::string((1 << 20) - 10, ';'));
  EXPECT_TRUE(RegFileRegistry(most).Loaded()) << RegFileRegistry(most).Error();
#endif
}

// A key path as deep as the size limit allows costs its own length: every
// ancestor exists without a copy of its path, and many values under it do
// not look the path up again (each of these used to be quadratic, gigabytes
// for a path of a few hundred kilobytes).
TEST(RegFile, DeepKeyPathsAreReadInLinearTime) {
  testing::TempDir dir;
  std::string levels;
  for (int i = 0; i < 200000; ++i) levels += "\\k";
  std::string file = "REGEDIT4\r\n[HKLM\\SOFTWARE\\Shop" + levels + "]\r\n";
  for (int i = 0; i < 20000; ++i) file += "\"v" + std::to_string(i) + "\"=\"x\"\r\n";
  file += "[HKLM\\SOFTWARE\\Shop]\r\n\"Host\"=\"router\"\r\n";
  RegFileRegistry reg(dir.Write("deep.reg", file));
  ASSERT_TRUE(reg.Loaded()) << reg.Error();
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop", "Host", ""), "router");
  EXPECT_EQ(GetSoftwareRegString(reg, "Shop" + levels, "v19999", ""), "x");
  // An ancestor known only through its descendant exists and holds no value.
  const std::string middle = "Shop" + levels.substr(0, levels.size() / 2);
  EXPECT_EQ(GetSoftwareRegString(reg, middle, "v1", "none"), "none");
  RegHandle h = 0;
  EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "SOFTWARE\\" + middle, kKeyRead, h), kRegSuccess);
  EXPECT_EQ(reg.CloseKey(h), kRegSuccess);
}

}  // namespace
}  // namespace korvex
