#include <gtest/gtest.h>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "korvex/sim_host.h"
#include "registry/error_log_capture.h"

namespace korvex {
namespace {

const std::string kP1 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1";

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
    host.registry().SetValue(kP1, name, value + '\0');
  }
  bool Unchanged() const {
    return control.Winsock1->RemoteHost() == "old" && control.Winsock1->RemotePort() == 99 &&
           control.ComPort == 5;
  }

  testing::ErrorLogCapture log;
  SimHost host;
  testing::RecordingEvents events;
  Korvex::Impl control{host, events};
};

TEST_F(InitFromRegTest, ReadsTheRouterOfThisPinPad) {
  Set("RouterHost", "router1");
  Set("Com", "7");
  Set("RouterPort", "4001");
  host.registry().SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P2", "Com", "8");
  EXPECT_EQ(control.InitFromReg(), 0);
  EXPECT_EQ(control.Winsock1->RemoteHost(), "router1");
  EXPECT_EQ(control.Winsock1->RemotePort(), 4001);
  EXPECT_EQ(control.ComPort, 7);
  EXPECT_EQ(host.registry().OpenHandleCount(), 0u);
}

TEST_F(InitFromRegTest, MissingValuesGiveTheDefaults) {
  EXPECT_EQ(control.InitFromReg(), 0);
  EXPECT_EQ(control.Winsock1->RemoteHost(), "");
  EXPECT_EQ(control.Winsock1->RemotePort(), 0);
  EXPECT_EQ(control.ComPort, 0);
  EXPECT_EQ(log.Text(), "");
}

TEST_F(InitFromRegTest, NumbersOutsideTheirRulesBecomeZero) {
  const struct {
    const char* com;
    const char* port;
    int comPort;
    int32_t remotePort;
  } cases[] = {{"7", "12a", 7, 0}, {"300", "4001", 0, 4001}, {"abc", "99999999999", 0, 0}};
  for (const auto& c : cases) {
    Set("Com", c.com);
    Set("RouterPort", c.port);
    EXPECT_EQ(control.InitFromReg(), 0);
    EXPECT_EQ(control.ComPort, c.comPort) << c.com;
    EXPECT_EQ(control.Winsock1->RemotePort(), c.remotePort) << c.port;
  }
}

TEST_F(InitFromRegTest, RefusedUnlessIdleAndQuietWithoutAName) {
  Set("RouterHost", "router1");
  control.fState = STATE_TERMINAL_SET;
  EXPECT_EQ(control.InitFromReg(), 1);
  EXPECT_TRUE(Unchanged());

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
  EXPECT_TRUE(Unchanged());
  EXPECT_EQ(log.Text(), "");
  EXPECT_TRUE(events.all.empty());
}

}  // namespace
}  // namespace korvex
