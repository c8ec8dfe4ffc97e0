// The transfer frame by frame against a loader played by the test: headers,
// progress bars, blocks, skipped entries, resends, timeouts and the finish.
#include <gtest/gtest.h>

#include "download/download_rig.h"

namespace korvex::testing {
namespace {

TEST(Transfer, MessagesFrameByFrame) {
  const std::string b600 = Bytes(600), b2748 = Bytes(2748);
  const Texts first = {"", "Constant\\EMVAPP.out", "Constant\\Currency.dat"};
  const Texts blocks248 = {Header("OC", "00000258", "EMVAPP.out"),
                           Bar(0),
                           Block(0, b600.substr(0, 248)),
                           Bar(4),
                           Block(248, b600.substr(248, 248)),
                           Bar(8),
                           Block(496, b600.substr(496)),
                           Bar(10),
                           Msg("C"),
                           Header("OD", "00000000", "Currency.dat"),
                           Msg("C")};
  Texts keysOnly(25, "");
  keysOnly.insert(keysOnly.end(), {"P1\\missing.EMV", "", "P1\\K2.EMV"});
  // Files on disk, the list, the loader's request, the messages between the
  // opening and the closing.
  const std::tuple<const char*, std::vector<std::pair<std::string, std::string>>, Texts,
                   std::string, Texts>
      rows[] = {
          {"600 bytes in blocks of 248, then an empty file",
           {{"Constant/EMVAPP.out", b600}, {"Constant/Currency.dat", ""}},
           first,
           "VFI",
           blocks248},
          {"blocks of 1024 asked for by the loader",
           {{"Constant/EMVAPP.out", b2748}},
           first,
           "VFI,1,2,3,4,5,6,1024",
           {Header("OC", "00000ABC", "EMVAPP.out"), Bar(0), Block(0, b2748.substr(0, 1024)), Bar(3),
            Block(1024, b2748.substr(1024, 1024)), Bar(7), Block(2048, b2748.substr(2048)), Bar(10),
            Msg("C")}},
          {"names found whatever their case, sent as on disk",
           {{"constant/emvapp.OUT", "abc"}, {"constant/EMVAPP.OUT.p7s", "d"}},
           {"", "Constant\\EMVAPP.out", "Constant\\EMVAPP.out.p7s"},
           "VFI",
           {Header("OC", "00000003", "emvapp.OUT"), Bar(0), Block(0, "abc"), Bar(10), Msg("C"),
            Header("OD", "00000001", "EMVAPP.OUT.p7s"), Bar(0), Block(0, "d"), Bar(10), Msg("C")}},
          {"missing and empty entries skipped, entries 1 to 24 empty",
           {{"P1/K2.EMV", "xyz"}, {"P1/missing.EMV/inside", ""}},
           keysOnly,
           "VFI",
           {Header("OD", "00000003", "K2.EMV"), Bar(0), Block(0, "xyz"), Bar(10), Msg("C")}},
          {"no file at all", {}, {"", "Constant\\EMVAPP.out", ""}, "VFI", {}},
      };
  for (const auto& [what, files, list, vfi, middle] : rows) {
    SCOPED_TRACE(what);
    DownloadRig rig;
    for (const auto& [path, bytes] : files) rig.Put(path, bytes);
    rig.Request(list, vfi);
    EXPECT_EQ(rig.Transfer(), kOpening + middle + kClosing);
    if (middle == blocks248) {  // the observer sees each header and block
      EXPECT_EQ(rig.progress,
                (std::vector<std::tuple<std::string, int64_t, int64_t>>{{"EMVAPP.out", 0, 600},
                                                                        {"EMVAPP.out", 248, 600},
                                                                        {"EMVAPP.out", 496, 600},
                                                                        {"EMVAPP.out", 600, 600},
                                                                        {"Currency.dat", 0, 0}}));
    }
  }
  // Length and offset travel most significant byte first.
  EXPECT_EQ(Block(496, "xy").substr(0, 8), std::string("\x02W\x00\x02\x00\x00\x01\xF0", 8));
}

// A file that shrinks or goes between two blocks: nothing more is sent, and
// the wait for the ACK that cannot come ends the download.
TEST(Transfer, FileUnreadablePartWayEndsInTheBlockState) {
  const std::pair<const char*, std::string> faults[] = {
      {"truncated", "file shorter than its header"}, {"deleted", "File not found"}};
  for (const auto& [fault, reason] : faults) {
    SCOPED_TRACE(fault);
    DownloadRig rig;
    rig.Put("Constant/EMVAPP.out", Bytes(600));
    rig.Request({"", "Constant\\EMVAPP.out"});
    rig.RunTo(STATE_DOWNLOAD_BLOCK_SENT);
    EXPECT_EQ(rig.Next(), Bar(4));
    const std::string path = rig.dir.File("Constant/EMVAPP.out");
    if (std::string(fault) == "deleted") {
      std::filesystem::remove(path);
    } else {
      std::filesystem::resize_file(path, 300);
    }
    rig.Take();
    EXPECT_EQ(rig.Next(), "");
    EXPECT_EQ(rig.Take().back(),
              DE(8, "Download read failed at offset 248 of 'Constant\\EMVAPP.out': " + reason));
    EXPECT_EQ(rig.control.fState, STATE_DOWNLOAD_BLOCK_SENT);
    rig.host.RunFor(3000);
    EXPECT_EQ(rig.Take(), (Events{kTimeout, IE(1, 44, "PinPad not responding.")}));
  }
}

TEST(Transfer, FinishLetsTheLoaderGoCleansUpAndStartsTheApplication) {
  DownloadRig rig;
  rig.Put("P1/K1.EMV", "k");
  rig.Put("P1.bat", "");
  rig.Put("P1.dld", "");
  rig.Request({"", "P1\\K1.EMV"});
  rig.RunTo(STATE_DOWNLOAD_CLOSING);
  rig.Forget();
  rig.Deliver(kAck);
  rig.host.RunFor(5);
  const std::string finish =
      "Allalaadimine on l\xF5pule viidud! V\xF5tan \xFChendust Pin Klaviatuuriga...";
  EXPECT_EQ(rig.Take(),
            (Events{Arrived(kAck), Eaten(kAck), AckAt(619), Sent(kEot, 3000, 0), DE(10, finish),
                    DE(5, "Connecting... State=135"), DE(8, "PinPad connected!"),
                    DE(10, "K\xE4ivitan EMVApp..."), Sent("\x02L0302\x03", 3000, 1)}));
  EXPECT_EQ(rig.Wire(), kEot + "SETCOMM19200,n,8,1  " + WithLrc("L0302"));
  EXPECT_EQ(rig.pad.closes, 1);
  EXPECT_EQ(rig.pad.connects, 2);
  EXPECT_EQ(rig.control.fState, STATE_EMVAPP_START);
  EXPECT_EQ(rig.control.ChecksumMode, 1);
  for (const char* gone : {"P1/K1.EMV", "P1.bat", "P1.dld"}) {
    EXPECT_FALSE(std::filesystem::exists(rig.dir.File(gone))) << gone;
  }
}

}  // namespace
}  // namespace korvex::testing
