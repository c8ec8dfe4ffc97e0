// Provisioning end to end: the control against the emulated loader on
// SimHost, from a pad with only its loader, or with keys it must replace, to
// "Init completed"; every file the pad keeps is the one in the download folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness/temp_dir.h"
#include "init/init_rig.h"

namespace korvex::testing {
namespace {

namespace fs = std::filesystem;

struct Provisioning : InitRig {
  TempDir dir;

  explicit Provisioning(emu::PadState state) : InitRig(std::move(state)) {
    control.PinPadName = "PAD1";
    control.SetDownloadPath(dir.path());
    // Some of the constant files; the rest of the list is missing and skipped.
    Put("Constant/EMVAPP.out", "KORVEX-EMVAPP\nversion=9.1\n" + Noise(70000));
    Put("Constant/EMVAPP.out.p7s", Noise(700));
    Put("Constant/Currency.dat", "233 EUR 2\r\n978 EUR 2\r\n");
    Put("Constant/table.rec", "");
    Put("Constant/EMVG_CNF.DAT", Noise(1000));  // the list spells it emvg_cnf.dat
  }

  void Put(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(dir.File(path)).parent_path());
    dir.Write(path, bytes);
  }
  static std::string Noise(size_t n) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    return out;
  }

  bool Completed(int64_t maxMs) {
    return host.RunUntil([&] { return control.fState == STATE_INIT_DONE; }, maxMs);
  }
  size_t Count(int32_t code) const {
    size_t n = 0;
    for (const auto& e : events.all) n += e.kind == RecordedEvent::Interface && e.code == code;
    return n;
  }
  // Each file the pad holds, compared with what the control should have sent.
  void ExpectFilesFrom(const std::vector<std::string>& constants) {
    std::map<std::string, std::string> expected;
    for (const std::string& name : constants) expected[name] = dir.Read("Constant/" + name);
    for (int16_t i = 1; i <= terminal.getERKCount(); ++i) {
      int16_t key = i;
      expected[terminal.getERKID(i) + ".EMV"] = control.BuildERKData(key);
    }
    std::map<std::string, std::string> received;
    for (const auto& [name, file] : pad.Core().Pad().Files()) received[name] = file.data;
    EXPECT_EQ(received, expected);
    // The generated key files are gone once the transfer has finished.
    EXPECT_TRUE(fs::is_empty(dir.File("PAD1")));
  }
};

TEST(Provisioning, APadWithOnlyItsLoaderGetsTheApplicationKeysAndTablesFromTheConnectionTest) {
  Provisioning rig(emu::BrandNewPad());
  ASSERT_EQ(rig.control.setTerminalObject(rig.terminal), 0);
  ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
  ASSERT_TRUE(rig.Completed(120000));

  EXPECT_TRUE(rig.pad.Core().Pad().PaymentInstalled());
  rig.ExpectFilesFrom(
      {"EMVAPP.out", "EMVAPP.out.p7s", "Currency.dat", "table.rec", "EMVG_CNF.DAT"});
  EXPECT_EQ(rig.pad.Core().Pad().Files().at("EMVAPP.out").type, "OC");
  EXPECT_EQ(rig.pad.Core().Pad().Files().at("EMVAPP.out.p7s").type, "OD");
  // The downloaded application was confirmed and the tables loaded afresh.
  EXPECT_EQ(rig.pad.Core().Pad().Records(emu::kVersionTable).size(), 1u);
  EXPECT_EQ(rig.pad.Core().Pad().Records(emu::kEstTable).size() + 1, rig.control.ESTRecords.size());
  EXPECT_EQ(rig.Count(1100), 1u);
  EXPECT_EQ(rig.Count(1107), 0u);
  EXPECT_EQ(rig.control.ChecksumMode, 1);

  // A provisioned pad needs nothing more the next time.
  rig.control.fState = STATE_EMVAPP_READY;
  const size_t before = rig.Requests().size();
  rig.Init();
  EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
  EXPECT_EQ(rig.Requests().size(), before + 1);
  EXPECT_EQ(rig.Requests().back(), "D0303001");
}

// The payment application runs, but the pad holds no version record or a key
// set that differs: InitTransaction replaces only the keys, then the tables.
TEST(Provisioning, KeysThatDifferAreReplacedByInitTransactionAlone) {
  emu::PadState noRecord;
  emu::PadState otherKeys = StalePad();
  otherKeys.tables[emu::kVersionTable] = {Version(kReference, std::string(30, '0'))};
  for (emu::PadState& state : {std::ref(noRecord), std::ref(otherKeys)}) {
    Provisioning rig(state);
    rig.Ready();
    rig.events.Clear();
    ASSERT_EQ(rig.control.InitTransaction(), 0);
    ASSERT_TRUE(rig.Completed(60000));

    rig.ExpectFilesFrom({});
    EXPECT_EQ(rig.pad.Core().Pad().Records(emu::kVersionTable),
              std::vector<std::string>{Version(kReference, kChecksum)});
    EXPECT_EQ(rig.Count(1100), 1u);
    EXPECT_EQ(rig.Trace(10, "Allalaadimine").size(), 2u);
  }
}

}  // namespace
}  // namespace korvex::testing
