// Binding the terminal object and the configuration fingerprint taken from it;
// the version record that carries it is pinned byte for byte in tests/init.
#include <gtest/gtest.h>

#include "control/impl_access.h"
#include "emvconfig/terminal_rig.h"

namespace korvex::testing {
namespace {

// SHA-1 of "A1B2", computed independently.
const std::string kA1B2 = "25EF54533BAA49D7CC4E64D478ECD1D2FD55D761";

JsonTerminal::Config WithKeys(std::vector<std::string> ids) {
  auto c = BaseConfig();
  for (auto& id : ids) c.caKeys.push_back(Key(id, "\xA0\x00\x00\x00\x03"s));
  return c;
}

// A second terminal is refused (the control is no longer idle); the first one
// and its fingerprint stay. The key identifiers run together: the checksum
// follows their order, not their split. The table reference takes characters
// 3 to 8 of each reference.
TEST(TerminalBinding, BindsOnceAndKeepsTheFirstFingerprint) {
  SimHost host;
  RecordingEvents events;
  Korvex control(host, events);
  JsonTerminal first(WithKeys({"A1", "B2"})), second(WithKeys({"C3"}));
  EXPECT_EQ(control.setTerminalObject(first), 0);
  EXPECT_EQ(control.getState(), STATE_TERMINAL_SET);
  EXPECT_EQ(control.setTerminalObject(second), 1);
  EXPECT_EQ(ImplAccess::Of(control).terminalObject, &first);
  EXPECT_EQ(ImplAccess::Of(control).ERKChecksum, kA1B2.substr(0, 30));
  EXPECT_EQ(ImplAccess::Of(control).TableReference, "261201261201");

  auto checksum = [](std::vector<std::string> ids) {
    return TerminalRig(WithKeys(std::move(ids))).control.ComputeERKChecksum();
  };
  EXPECT_EQ(checksum({"A", "1B2"}), kA1B2);
  EXPECT_EQ(checksum({"B2", "A1"}), "306C52EFEB37CC93DBB83E9D51E942202E1A578A");

  auto reference = [](std::string aid, std::string mvt) {
    auto c = BaseConfig();
    c.aidTable.reference = std::move(aid);
    c.mvtTable.reference = std::move(mvt);
    return TerminalRig(c).control.BuildTableReference();
  };
  EXPECT_EQ(reference("AB123456789", "CD654321"), "123456654321");
  EXPECT_EQ(reference("ABCDE", "XY"), "CDE");
  EXPECT_EQ(reference("", "ABC"), "C");
}

}  // namespace
}  // namespace korvex::testing
