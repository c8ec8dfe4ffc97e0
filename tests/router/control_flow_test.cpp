// The control on real sockets through korvex-router to the emulated PIN pad
// on a pseudo-terminal: the connection test and the table update (the longest
// exchange), then the pad unplugged mid-session and plugged back.
#include <gtest/gtest.h>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "init/init_rig.h"
#include "router_rig.h"

namespace korvex::testing {
namespace {

class ControlThroughRouter : public ::testing::Test {
 protected:
  ControlThroughRouter() : rig({}, StalePad()), terminal(ExampleTerminal()) {}
  ~ControlThroughRouter() override {
    EXPECT_TRUE(rig.pad.Violations().empty()) << rig.pad.ViolationSummary();
  }

  void SetUp() override {
    rig.Start();
    control.Winsock1->SetRemoteHost("127.0.0.1");
    control.Winsock1->SetRemotePort(rig.Port());
    ASSERT_EQ(control.setTerminalObject(terminal), 0);
  }
  // Calls a method that must start (0) and runs until its InterfaceEvent.
  void Step(int16_t started, int32_t type, int32_t code) {
    ASSERT_EQ(started, 0);
    ASSERT_TRUE(rig.Wait([&] { return events.HasInterface(type, code); }))
        << "no " << type << "/" << code << "\n"
        << rig.Log();
    events.Clear();
  }

  RouterRig rig;
  JsonTerminal terminal;
  RecordingEvents events;
  Korvex::Impl control{rig.host, events};
};

TEST_F(ControlThroughRouter, TableUpdateThenThePadUnpluggedAndPluggedBack) {
  Step(control.PerformConnectionTest(1), 0, 1107);
  EXPECT_EQ(rig.Line().c_oflag & OPOST, 0u);  // the rest of the line: RouterLine's tests
  EXPECT_TRUE(rig.Logged("line 19200,n,8,1")) << rig.Log();
  Step(control.InitTransaction(), 0, 1100);
  EXPECT_EQ(rig.pad.Pad().State().tables.at(emu::kVersionTable),
            Texts{Version(kReference, kChecksum)});

  rig.UnplugPad();
  ASSERT_TRUE(rig.Wait([&] { return events.HasInterface(1, 38); })) << rig.Log();
  EXPECT_EQ(events.Interfaces(), Events{IE(1, 38, "Connection closed by TCP/COM Router")});
  EXPECT_TRUE(rig.Logged("device " + rig.devicePath + " failed")) << rig.Log();
  events.Clear();

  // Back under the same name (a new pseudo-terminal behind the link).
  rig.PlugPad();
  rig.stream->Start();
  control.ColdReset();
  ASSERT_EQ(control.setTerminalObject(terminal), 0);
  Step(control.PerformConnectionTest(1), 0, 1107);
}

}  // namespace
}  // namespace korvex::testing
