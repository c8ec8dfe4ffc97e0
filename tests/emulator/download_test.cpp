// The loader's download mode as the control drives it: the download
// request, the transfer's order and layouts, storing and installing.
#include <gtest/gtest.h>

#include "download_frames.h"
#include "emulator/messages/download_mode.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

const std::string kAppData = "KORVEX-EMVAPP\nversion=2.4.1\n" + std::string(700, '\x03');

struct File {
  std::string name, type, data;
};

// Every byte value, so the blocks carry STX, ETX, ACK and the rest.
std::string AllBytes(size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += static_cast<char>(i * 7 + 3);
  return out;
}

// A loader switched to download mode and reached again at 115200 baud.
struct DownloadLine : RawLine {
  explicit DownloadLine(EmulatorConfig config = {}, PadState state = BrandNewPad())
      : RawLine(std::move(config), std::move(state)) {
    SendFrame("L0202");
    Run(100);
    EXPECT_EQ(Take(), kAck);  // no reply
    EXPECT_EQ(emu.App(), PadApp::Download);
    Disconnect();
    Connect(kSetComm115200);
  }
  // Sends the bytes and returns what the pad sent within the next 100 ms.
  std::string Put(const std::string& bytes) {
    Send(bytes);
    Run(100);
    return Take();
  }
  // ENQ, the download request ACKed.
  std::string Request() {
    const std::string out = Put(kEnq);
    Put(kAck);
    return out;
  }
};

// The control's side of the transfer: every frame must be ACKed alone.
void SendFiles(DownloadLine& line, const std::vector<File>& files, size_t blockSize = 248) {
  auto put = [&](const std::string& bytes) { EXPECT_EQ(line.Put(bytes), kAck); };
  put(Crc("M--DOWNLOADING--"));
  put(Crc(kGroup));
  put(Crc("C"));
  for (const File& f : files) {
    put(Crc(Header(f.type, f.data.size(), f.name)));
    for (size_t offset = 0; offset < f.data.size(); offset += blockSize) {
      put(Crc("M" + std::string(offset * 10 / f.data.size(), '*')));
      put(Block(uint32_t(offset), f.data.substr(offset, blockSize)));
    }
    put(Crc("C"));
  }
  put(Crc(kStack));
  put(Crc(kHeap));
  put(Crc("MDOWNLOAD DONE"));
  put(Crc(kClosing));
  EXPECT_EQ(line.Put(kEot), "");
}

struct Provisioning {
  const char* what;
  std::vector<File> files;
  bool installed;
  bool pace;
};

TEST(Download, ABrandNewPadIsProvisionedOnlyByAPaymentApplicationWithItsMagicLine) {
  const File key{"A000000003.EMV", "OD", AllBytes(300)};
  const File empty{"table.rec", "OD", ""};
  const Provisioning cases[] = {
      {"installed", {{"EMVAPP.out", "OC", kAppData}, key, empty}, true, false},
      {"installed, paced", {{"emvapp.OUT", "OC", kAppData}, key}, true, true},
      {"no magic line", {{"EMVAPP.out", "OC", "KORVEX-EMVAP\n" + kAppData}}, false, false},
      {"no application", {key, empty}, false, false},
  };
  for (const Provisioning& c : cases) {
    SCOPED_TRACE(c.what);
    EmulatorConfig config;
    config.link.pace = c.pace;
    RawLine fresh(config, BrandNewPad());
    fresh.SendFrame("P01");
    fresh.Run(100);
    fresh.SendFrame("L0302");
    fresh.Run(10000);
    EXPECT_EQ(fresh.Take(), kAck + kAck);  // no P00: nothing to start
    DownloadLine line(config);
    EXPECT_EQ(line.Request(), Crc("VFI,KVX-P20,KX20-004711,LDR-3.20,BOOT-1.07,16384,115200,248"));
    SendFiles(line, c.files);
    EXPECT_EQ(line.emu.App(), PadApp::Loader);
    ASSERT_EQ(line.emu.Pad().Files().size(), c.files.size());
    for (const File& f : c.files) {
      const StoredFile& stored = line.emu.Pad().Files().at(f.name);
      EXPECT_EQ(stored.data, f.data) << f.name;
      EXPECT_EQ(stored.type, f.type);
      EXPECT_EQ(stored.size, f.data.size());
      EXPECT_EQ(stored.timestamp, "20240305070809");
    }
    EXPECT_EQ(line.emu.Pad().PaymentInstalled(), c.installed);
    EXPECT_EQ(line.emu.Pad().PaymentVersion(), c.installed ? "version=2.4.1" : "");
    line.Disconnect();
    line.Connect(kSetComm19200);
    line.SendFrame("L0302");
    line.Run(line.emu.Config().delays.paymentStartMs + 100);
    EXPECT_EQ(line.Take(), kAck + (c.installed ? Frame("P00") : ""));
    EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
  }
}

// The pad asks for the configured size whatever it is, and takes blocks up to
// it, or up to 248 when it is out of range.
TEST(Download, TheRequestCarriesTheBlockSizeAndBoundsTheBlocks) {
  const std::pair<int64_t, uint32_t> cases[] = {{248, 248}, {1024, 1024}, {8000, 8000},
                                                {0, 248},   {70000, 248}, {-5, 248}};
  for (const auto& [asked, taken] : cases) {
    SCOPED_TRACE(asked);
    EmulatorConfig config;
    config.download.blockSize = asked;
    DownloadLine line(config);
    const std::string request = line.Request();
    EXPECT_NE(request.find("," + std::to_string(asked) + ETX), std::string::npos);
    for (const std::string& f : {Crc(kGroup), Crc("C"), Crc(Header("OD", taken + 1, "K.EMV"))}) {
      line.Put(f);
    }
    line.Put(Block(0, AllBytes(taken + 1)));
    ASSERT_EQ(line.emu.Violations().size(), 1u);
    EXPECT_NE(line.emu.Violations()[0].description.find("1 to " + std::to_string(taken)),
              std::string::npos);
    line.Put(Block(0, AllBytes(taken)));
    line.Put(Block(taken, "z"));
    line.Put(Crc("C"));
    EXPECT_EQ(line.emu.Violations().size(), 1u) << line.emu.ViolationSummary();
  }
}

TEST(Download, TheRequestAnswersTheNthEnqOrNone) {
  for (int after : {1, 3, 5, 0}) {
    SCOPED_TRACE(after);
    EmulatorConfig config;
    config.download.enqAnswerAfter = after;
    DownloadLine line(config);
    int answered = 0;
    for (int enq = 1; enq <= 5; ++enq) {
      const std::string out = line.Put(kEnq);
      if (!out.empty()) {
        EXPECT_EQ(answered, 0);
        EXPECT_EQ(out.substr(0, 4), STX + std::string("VFI"));
        answered = enq;
      }
    }
    EXPECT_EQ(answered, after);
  }
}

struct Fault {
  const char* what;
  std::vector<std::string> frames;  // after the group set-up and "C"
  const char* description;
};

TEST(Download, TransferFaultsAreRecordedAndLeaveTheTransferAsItWas) {
  const std::string h10 = Crc(Header("OD", 10, "K.EMV"));
  const Fault cases[] = {
      {"wrong offset", {h10, Block(0, "abcd"), Block(5, "efgh")}, "offset 5 while K.EMV has 4"},
      {"beyond the size", {h10, Block(0, "abcdefgh"), Block(8, "ijk")}, "beyond the end"},
      {"empty block", {h10, Block(0, "")}, "data block of 0 bytes"},
      {"incomplete then C", {h10, Block(0, "abcd"), Crc("C")}, "next-file message out of order"},
      {"incomplete then stack", {h10, Crc(kStack)}, "while K.EMV has 0 of 10"},
      {"heap before stack", {Crc(kHeap)}, "heap setting out of order"},
      {"stack with another value", {Crc(std::string("L*STACK") + FS + "200")}, "exactly"},
      {"OD for an application", {Crc(Header("OD", 1, "EMVAPP.out"))}, "OC expected"},
      {"lower-case size", {Crc("OD0000000a0000000020240305070809XXXXXXXXk")}, "upper-case"},
      {"reserved", {Crc("OD0000000A0000000120240305070809XXXXXXXXk")}, "reserved"},
      {"30 February", {Crc(Header("OD", 1, "k", "20240230070809"))}, "date and time"},
      {"filler", {Crc("OD0000000A0000000020240305070809XXXXXXXYk")}, "filler"},
      {"folder", {Crc(Header("OD", 1, "keys\\k.EMV"))}, "holds a folder"},
      {"no name", {Crc(Header("OD", 1, ""))}, "names no file"},
      {"too large", {Crc(Header("OD", 17u << 20, "k"))}, "free memory"},
      {"unknown message", {Crc("P01")}, "not taken by the download"},
  };
  for (const Fault& c : cases) {
    SCOPED_TRACE(c.what);
    DownloadLine line;
    line.Request();
    line.Put(Crc(kGroup));
    line.Put(Crc("C"));
    for (const std::string& f : c.frames) EXPECT_EQ(line.Put(f), kAck);
    ASSERT_EQ(line.emu.Violations().size(), 1u) << line.emu.ViolationSummary();
    EXPECT_NE(line.emu.Violations()[0].description.find(c.description), std::string::npos)
        << line.emu.Violations()[0].description;
    EXPECT_EQ(line.emu.App(), PadApp::Download);
  }
}

// A frame whose CRC is wrong is NAKed; the transfer's frames before the
// request, an EOT before the closing command (complete files kept, the one
// under way lost), and frames at 19200 baud are violations.
TEST(Download, EndsAndRatesOutOfTurn) {
  DownloadLine early;
  std::string bad = Crc("C");
  bad.back() ^= 1;
  EXPECT_EQ(early.Put(bad), kNak);
  EXPECT_EQ(early.Put(Crc("M--DOWNLOADING--")), kAck);
  EXPECT_EQ(early.emu.Violations().size(), 1u);

  DownloadLine cut;
  cut.Request();
  for (const std::string& f : {Crc(kGroup), Crc("C"), Crc(Header("OD", 2, "a.EMV")), Block(0, "ab"),
                               Crc("C"), Crc(Header("OD", 4, "b.EMV")), Block(0, "ab"), kEot}) {
    cut.Put(f);
  }
  EXPECT_EQ(cut.emu.App(), PadApp::Loader);
  ASSERT_EQ(cut.emu.Violations().size(), 1u);
  EXPECT_EQ(cut.emu.Pad().Files().size(), 1u);
  EXPECT_EQ(cut.emu.Pad().Files().count("a.EMV"), 1u);

  RawLine slow({}, BrandNewPad());
  slow.SendFrame("L0202");
  slow.Send(kEnq + Crc(kGroup));
  slow.Run(5000);
  EXPECT_EQ(slow.Take(), kAck);  // L0202's
  EXPECT_EQ(slow.emu.Violations().size(), 1u);
  EXPECT_NE(slow.emu.Violations()[0].description.find("19200 baud"), std::string::npos);
}

// Paced, the control's EOT is still on the line when it closes the
// connection right after writing it: the router puts it through all the same.
TEST(Download, AnEotWrittenJustBeforeTheCloseStillEndsTheDownload) {
  EmulatorConfig config;
  config.link.pace = true;
  DownloadLine line(config);
  line.Request();
  for (const std::string& f : {Crc(kGroup), Crc("C"), Crc(Header("OD", 2, "a.EMV")), Block(0, "ab"),
                               Crc("C"), Crc(kStack), Crc(kHeap), Crc(kClosing)}) {
    EXPECT_EQ(line.Put(f), kAck);
  }
  line.Send(kEot);
  line.Disconnect();
  EXPECT_EQ(line.emu.App(), PadApp::Loader);
  EXPECT_EQ(line.emu.Pad().Files().count("a.EMV"), 1u);
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

}  // namespace
}  // namespace korvex::emu
