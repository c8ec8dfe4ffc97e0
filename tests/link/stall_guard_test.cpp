// The stall guard against the emulated PIN pad on SimHost: every known wait
// without a reply timer ends exactly 30 s later with "PinPad timeout", leaving
// a control that a new connection test brings back; the normal flows run
// exactly as they do without a guard.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "control/impl_access.h"
#include "control/korvex_impl.h"
#include "emulator/adapters/sim_pinpad.h"
#include "harness/line_tap.h"
#include "harness/recording_events.h"
#include "harness/scripted_peer.h"
#include "harness/temp_dir.h"
#include "init/init_rig.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "korvex/sim_host.h"
#include "link/framing.h"

namespace korvex::testing {
namespace {

// A download folder holding only the payment application.
void WriteAppFolder(const TempDir& dir) {
  std::filesystem::create_directories(dir.File("Constant"));
  dir.Write("Constant/EMVAPP.out", "KORVEX-EMVAPP\nversion=9.2\n" + std::string(3000, 'x'));
}

// A refusal of the occurrence-th P01 that comes without its ACK.
std::vector<emu::FaultRule> P01RefusedBeforeAck(int occurrence) {
  return {{emu::FaultKind::DropAck, "P01", occurrence, 1, ""},
          {emu::FaultKind::FailStatus, "P01", occurrence, 1, "05"}};
}

// The control through the public class, a terminal and a download folder.
struct GuardRig {
  SimHost host;
  RecordingEvents events;
  emu::SimPinPad pad;
  LineTap tap{pad};
  JsonTerminal terminal;
  TempDir dir;
  Korvex control{host, events};
  Korvex::Impl& impl = ImplAccess::Of(control);

  GuardRig(emu::PadState state, emu::EmulatorConfig config, JsonTerminal::Config terminalConfig)
      : pad(host, std::move(config), std::move(state)), terminal(std::move(terminalConfig)) {
    host.Listen("router", 4001, tap);
    impl.Winsock1->SetRemoteHost("router");
    impl.Winsock1->SetRemotePort(4001);
    control.setName("PAD1");
    WriteAppFolder(dir);
    control.SetDownloadPath(dir.path());
    EXPECT_EQ(control.setTerminalObject(terminal), 0);
  }
  bool ReadyWithin(int64_t ms) {
    return host.RunUntil([&] { return impl.fState == STATE_EMVAPP_READY; }, ms);
  }
};

struct StallCase {
  const char* name;
  emu::PadState state;
  std::vector<emu::FaultRule> faults;
  enum { kNothing, kInit, kPurchase } then;  // once the payment application is ready
  int16_t injectAt;  // the tap slips `inject` in when the control is here (0: never)
  std::string inject;
  int16_t stalledIn;
};

JsonTerminal::Config UnbuildableMvt() {
  JsonTerminal::Config terminal = ExampleTerminal();
  terminal.mvtTable.records[1][1] = "5k";
  return terminal;
}

TEST(StallGuard, EachWaitWithoutTimerEndsAfterThirtySecondsAndTheControlStartsAgain) {
  emu::PadState loader;
  loader.app = emu::PadApp::Loader;
  const auto none = StallCase::kNothing, init = StallCase::kInit, buy = StallCase::kPurchase;
  const std::string ack(1, ACK), kd0 = WithLrc("KD0");
  const std::vector<emu::FaultRule> d03 = {{emu::FaultKind::FailStatus, "D03", 1, 1, "05"}};
  // clang-format off
  const StallCase rows[] = {
      {"P01 refused before its ACK, connection test", {}, P01RefusedBeforeAck(1), none, 0, "",
       STATE_APP_DETECT},
      {"P01 refused before its ACK after the switch", loader, P01RefusedBeforeAck(2), none, 0, "",
       STATE_SWITCH_CHECK},
      {"P01 refused before its ACK after a download", emu::BrandNewPad(), P01RefusedBeforeAck(2),
       none, 0, "", STATE_DOWNLOAD_CHECK},
      {"a second ACK while the table information is awaited", StalePad(), {}, init,
       STATE_EST_INFO_ACKED, ack, STATE_EST_INFO_ACKED},
      {"a second KD0 from the loader", StalePad(), d03, init, STATE_LOADER_READY, kd0,
       STATE_LOADER_READY},
      {"an MVT record that cannot be built once the tables are empty", StalePad(), {}, init, 0, "",
       STATE_MVT_DELETE_SENT},
      {"a C00 reply that never comes, its timer ticking idly", {}, {}, buy, 0, "",
       STATE_CHIP_START_ACKED},
      {"the card data spoilt on the line and not sent again", {},
       {{emu::FaultKind::CorruptCheck, "C20", 1, 1, ""}}, buy, 0, "", STATE_CARD_DATA_READY},
  };
  // clang-format on
  for (const StallCase& row : rows) {
    SCOPED_TRACE(row.name);
    emu::EmulatorConfig config;
    config.faults = row.faults;
    // A NAKed frame is dropped: the NAK stopped the control's reply timer.
    config.link.resendLimit = row.stalledIn == STATE_CARD_DATA_READY ? 0 : 3;
    // The table information comes late, after the guard's time.
    config.delays.perMessageMs["D01"] = row.injectAt == STATE_EST_INFO_ACKED ? 60000 : 0;
    GuardRig rig(row.state, config,
                 row.stalledIn == STATE_MVT_DELETE_SENT ? UnbuildableMvt() : ExampleTerminal());
    ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
    if (row.then == StallCase::kInit) {
      ASSERT_TRUE(rig.ReadyWithin(30000));
      ASSERT_EQ(rig.control.InitTransaction(), 0);
    } else if (row.then == StallCase::kPurchase) {
      // The chip application takes the C00 and never answers it.
      if (row.stalledIn == STATE_CHIP_START_ACKED) {
        rig.pad.Core().Handlers().Add({"C00", emu::PadApp::Payment, nullptr,
                                       [](const std::string&, emu::PadServices&) {}, nullptr});
      }
      ASSERT_TRUE(rig.ReadyWithin(30000));
      ASSERT_EQ(rig.control.StartTransaction("260304120000", 12.5, 978, false), 0);
    }
    if (row.injectAt != 0) {
      ASSERT_TRUE(rig.host.RunUntil([&] { return rig.impl.fState == row.injectAt; }, 60000));
      ASSERT_NE(rig.tap.connection, nullptr);
      rig.tap.connection->Send(row.inject);
    }
    ASSERT_TRUE(rig.host.RunUntil(
        [&] { return rig.impl.Stalled() && rig.impl.fState == row.stalledIn; }, 200000));
    EXPECT_EQ(rig.impl.fState, row.stalledIn);
    EXPECT_TRUE(rig.impl.StallGuardArmed());

    // Not a millisecond early, and nothing reaches the host meanwhile (in 252
    // the idle timer only traces its ticks).
    rig.events.Clear();
    rig.host.RunFor(29999);
    EXPECT_EQ(rig.events.Interfaces(), Events{});
    EXPECT_EQ(rig.impl.fState, row.stalledIn);
    rig.events.Clear();
    rig.host.RunFor(1);
    const std::string state = std::to_string(row.stalledIn);
    const Events fired = {DE(8, "No reply and no timer for 30000 ms at State=" + state + " (" +
                                    StateName(row.stalledIn) + ")"),
                          IE(1, 17, "PinPad timeout")};
    EXPECT_EQ(rig.events.all, fired);
    EXPECT_EQ(rig.impl.fState, STATE_TERMINAL_SET);
    EXPECT_EQ(rig.impl.Winsock1->State(), sckClosed);
    EXPECT_FALSE(rig.impl.TimeoutTimer->Enabled());
    EXPECT_FALSE(rig.impl.StallGuardArmed());

    // A new connection test brings the payment application back.
    ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
    EXPECT_TRUE(rig.ReadyWithin(20000));
  }
}

// The time is a property of the control: negative refused, 0 leaves the
// control waiting as the protocol has it, a new time starts the wait afresh.
TEST(StallGuard, ItsTimeIsAPropertyAndZeroTurnsItOff) {
  emu::EmulatorConfig config;
  config.faults = P01RefusedBeforeAck(1);
  GuardRig rig({}, config, ExampleTerminal());
  EXPECT_EQ(rig.control.setStallGuardMs(-1), 7);
  EXPECT_EQ(rig.control.getStallGuardMs(), 30000);  // the default, kept through the refusal
  EXPECT_EQ(rig.control.setStallGuardMs(0), 0);
  ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
  rig.host.RunFor(120000);
  EXPECT_FALSE(rig.events.HasInterface(1, 17));
  EXPECT_EQ(rig.impl.fState, STATE_APP_DETECT);
  EXPECT_FALSE(rig.impl.StallGuardArmed());

  EXPECT_EQ(rig.control.setStallGuardMs(5000), 0);
  EXPECT_EQ(rig.control.getStallGuardMs(), 5000);
  EXPECT_TRUE(rig.impl.StallGuardArmed());
  rig.host.RunFor(4999);
  EXPECT_FALSE(rig.events.HasInterface(1, 17));
  rig.host.RunFor(1);
  EXPECT_TRUE(rig.events.HasInterface(1, 17));
}

// Runs one flow and returns every event it raised.
using Flow = std::function<void(InitRig&)>;

Events EventsOf(const Flow& flow, emu::PadState state, int32_t guardMs) {
  InitRig rig(std::move(state));
  EXPECT_EQ(rig.control.SetStallGuardMs(guardMs), 0);
  rig.control.PinPadName = "PAD1";
  TempDir dir;
  WriteAppFolder(dir);
  rig.control.SetDownloadPath(dir.path());
  flow(rig);
  rig.host.RunFor(60000);  // long after: a late guard would show here
  // File headers carry the file's time, and key files are written during
  // the run: two runs a second apart differ there and nowhere else.
  static const std::regex fileTime("(O[CD][0-9A-F]{16})[0-9]{14}");
  Events events = rig.events.all;
  for (auto& e : events) e.text = std::regex_replace(e.text, fileTime, "$1<time>");
  return events;
}

bool RunTo(InitRig& rig, int32_t code) {
  return rig.host.RunUntil([&] { return rig.events.HasInterface(0, code); }, 60000);
}

// The guard changes no event of a table update, a download or a card
// purchase: the reply timer runs wherever these wait for the PIN pad, and
// the emulated cardholder takes at most 2 s where it does not, so a guard
// of 3 s, a tenth of its usual time, must stay silent too.
TEST(StallGuard, NormalFlowsRaiseTheSameEventsWithAndWithoutTheGuard) {
  const Flow tableUpdate = [](InitRig& rig) {
    rig.Ready();
    rig.Init();
    EXPECT_TRUE(rig.events.HasInterface(0, 1100));
  };
  const Flow download = [](InitRig& rig) {
    ASSERT_EQ(rig.control.setTerminalObject(rig.terminal), 0);
    ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
    EXPECT_TRUE(RunTo(rig, 1100));
    EXPECT_EQ(rig.pad.Core().Pad().PaymentVersion(), "version=9.2");
  };
  const Flow purchase = [](InitRig& rig) {
    rig.Ready();
    EXPECT_TRUE(rig.control.StartTransaction("260304120000", 12.5, 978, false) == 0 &&
                RunTo(rig, 1102) && rig.control.EnterPIN() == 0 && RunTo(rig, 1103) &&
                rig.control.GetFirstCrypto(0, false) == 0 && RunTo(rig, 1104) &&
                rig.control.GetSecondCrypto(0, "", "", "11223344556677880000", "3030") == 0 &&
                RunTo(rig, 1106));
  };
  const std::tuple<const char*, Flow, emu::PadState> flows[] = {
      {"table update", tableUpdate, StalePad()},
      {"download", download, emu::BrandNewPad()},
      {"purchase", purchase, emu::PadState{}},
  };
  for (const auto& [name, flow, state] : flows) {
    SCOPED_TRACE(name);
    const Events unguarded = EventsOf(flow, state, 0);
    EXPECT_EQ(EventsOf(flow, state, 3000), unguarded);
  }
}

}  // namespace
}  // namespace korvex::testing
