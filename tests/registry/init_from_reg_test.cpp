#include <gtest/gtest.h>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "korvex/sim_host.h"
#include "registry/error_log_capture.h"

namespace korvex {
namespace {

class InitFromRegTest : public ::testing::Test {
 protected:
  InitFromRegTest() {
    control.EMVRegistryKey = "Software\\Shop\\";
    control.PinPadName = "P1";
    control.Winsock1->SetRemoteHost("old");
    control.Winsock1->SetRemotePort(99);
    control.ComPort = 5;
  }
  void Set(const std::string& name, const std::string& value) {
    host.registry().SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1", name, value + '\0');
  }
  std::string Settings() const {
    return control.Winsock1->RemoteHost() + ":" + std::to_string(control.Winsock1->RemotePort()) +
           " com " + std::to_string(control.ComPort);
  }

  testing::ErrorLogCapture log;
  SimHost host;
  testing::RecordingEvents events;
  Korvex::Impl control{host, events};
};

TEST_F(InitFromRegTest, ReadsThePinPadsValuesWithDefaultsAndNumericRules) {
  EXPECT_EQ(control.InitFromReg(), 0);
  EXPECT_EQ(Settings(), ":0 com 0");
  Set("RouterHost", "router1");
  Set("Com", "7");
  Set("RouterPort", "4001");
  EXPECT_EQ(control.InitFromReg(), 0);
  EXPECT_EQ(Settings(), "router1:4001 com 7");
  EXPECT_EQ(host.registry().OpenHandleCount(), 0u);
  EXPECT_EQ(log.Text(), "");
  // Numbers outside their rules become zero.
  for (auto [com, port, want] : {std::tuple{"7", "12a", "router1:0 com 7"},
                                 {"300", "4001", "router1:4001 com 0"},
                                 {"abc", "99999999999", "router1:0 com 0"}}) {
    Set("Com", com);
    Set("RouterPort", port);
    EXPECT_EQ(control.InitFromReg(), 0);
    EXPECT_EQ(Settings(), want);
  }
}

TEST_F(InitFromRegTest, RefusedUnlessIdleAndQuietWithoutAName) {
  Set("RouterHost", "router1");
  control.fState = STATE_TERMINAL_SET;
  EXPECT_EQ(control.InitFromReg(), 1);
  // With a part of the path missing nothing is read: a read of the failing
  // key would be logged.
  control.fState = STATE_IDLE;
  host.registry().FailOpen("HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads", 5);
  host.registry().FailOpen("HKEY_LOCAL_MACHINE\\SOFTWARE\\PinPads\\P1", 5);
  control.PinPadName = "";
  EXPECT_EQ(control.InitFromReg(), 0);
  control.PinPadName = "P1";
  control.EMVRegistryKey = "";
  EXPECT_EQ(control.InitFromReg(), 0);
  EXPECT_EQ(Settings(), "old:99 com 5");
  EXPECT_EQ(log.Text(), "");
  EXPECT_TRUE(events.all.empty());
}

}  // namespace
}  // namespace korvex
