// `korvex host --router HOST:PORT [--com N]`: the address is checked before
// the bridge starts, and InitFromReg reads it for whatever PIN pad is named.
#include <gtest/gtest.h>

#include "cli/router_registry.h"
#include "control/impl_access.h"
#include "harness/recording_events.h"
#include "korvex/asio_host.h"

namespace korvex::cli {
namespace {

TEST(RouterOptionTest, InitFromRegReadsTheAddressUnderAnyPadName) {
  std::string error;
  const auto address = ParseRouterAddress("[::1]:04001", error);
  ASSERT_TRUE(address) << error;
  AsioHost host;
  host.SetRegistry(std::make_unique<RouterRegistry>(*address, 7));
  korvex::testing::RecordingEvents events;
  for (const auto& [key, name] : {std::pair{"Software\\Shop\\", "P1"}, {"Till\\", "front desk"}}) {
    Korvex control{host, events};
    control.setEMVRegistryKey(key);
    control.setName(name);
    ASSERT_EQ(control.InitFromReg(), 0);
    EXPECT_EQ(ImplAccess::Of(control).Winsock1->RemoteHost(), "::1");
    EXPECT_EQ(ImplAccess::Of(control).Winsock1->RemotePort(), 4001);
    EXPECT_EQ(ImplAccess::Of(control).ComPort, 7);
  }
}

// The bridge's exit with this message: HostBridgeProcessTest.
TEST(RouterOptionTest, MalformedAddressIsRefusedWithItsMessage) {
  for (const std::string bad :
       {"pinpad", "pinpad:", ":4001", "pinpad:0", "pinpad:65536", "pinpad:40x1", "::1:4001"}) {
    std::string error;
    EXPECT_FALSE(ParseRouterAddress(bad, error)) << bad;
    EXPECT_EQ(error,
              "--router '" + bad + "' is not HOST:PORT (a host name or address, port 1-65535)");
  }
}

}  // namespace
}  // namespace korvex::cli
