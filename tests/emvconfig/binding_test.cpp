// Binding the terminal object, the configuration fingerprint taken from it and
// the version record that carries the fingerprint.
#include <gtest/gtest.h>

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

TEST(TerminalBinding, BindsOnlyWhenIdleAndKeepsTheFirstFingerprint) {
  SimHost host;
  RecordingEvents events;
  Korvex control(host, events);
  LoggingTerminal first(WithKeys({"A1", "B2"}));
  control.impl().fState = STATE_EMVAPP_READY;
  EXPECT_EQ(control.setTerminalObject(first), 1);
  EXPECT_EQ(control.impl().terminalObject, nullptr);

  control.impl().fState = STATE_IDLE;
  events.Clear();
  EXPECT_EQ(control.setTerminalObject(first), 0);
  EXPECT_EQ(control.getState(), STATE_TERMINAL_SET);
  EXPECT_EQ(events.all, (std::vector<RecordedEvent>{DE(4, "Setting Terminal Object..."),
                                                    DE(5, "Terminal Object set.")}));
  EXPECT_EQ(control.impl().ERKChecksum, kA1B2.substr(0, 30));
  EXPECT_EQ(control.impl().TableReference, "261201261201");

  auto other = WithKeys({"C3"});
  other.aidTable.reference = "XXXXXXXX";
  LoggingTerminal second(other);
  EXPECT_EQ(control.setTerminalObject(second), 1);
  EXPECT_EQ(control.impl().terminalObject, &first);
  EXPECT_EQ(control.impl().ERKChecksum, kA1B2.substr(0, 30));
  EXPECT_EQ(control.impl().TableReference, "261201261201");
}

TEST(TerminalBinding, ChecksumFollowsKeyOrderNotIdentifierSplit) {
  auto checksum = [](std::vector<std::string> ids) {
    TerminalRig rig;
    rig.Bind(WithKeys(std::move(ids)));
    return rig.control.ComputeERKChecksum();
  };
  EXPECT_EQ(checksum({"A1", "B2"}), kA1B2);
  EXPECT_EQ(checksum({"A", "1B2"}), kA1B2);
  EXPECT_EQ(checksum({"B2", "A1"}), "306C52EFEB37CC93DBB83E9D51E942202E1A578A");
  EXPECT_EQ(checksum({}), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(TerminalBinding, TableReferenceTakesCharactersThreeToEight) {
  auto reference = [](std::string aid, std::string mvt) {
    TerminalRig rig;
    auto c = BaseConfig();
    c.aidTable.reference = std::move(aid);
    c.mvtTable.reference = std::move(mvt);
    rig.Bind(c);
    return rig.control.BuildTableReference();
  };
  EXPECT_EQ(reference("AB123456789", "CD654321"), "123456654321");
  EXPECT_EQ(reference("ABCDE", "XY"), "CDE");
  EXPECT_EQ(reference("", "ABC"), "C");
}

TEST(VersionRecord, ReferenceInFieldSixChecksumInFieldThirteen) {
  TerminalRig rig;
  rig.control.TableReference = "261201261201";
  rig.control.ERKChecksum = "25EF54533BAA49D7CC4E64D478ECD1";
  EXPECT_EQ(rig.control.BuildVersionRecord(),
            FS_ FS_ FS_ FS_ FS_ "261201261201" FS_ FS_ FS_ FS_ FS_ FS_ FS_
                                "25EF54533BAA49D7CC4E64D478ECD1" FS_ FS_ FS_ FS_ FS_ FS_);
  rig.control.TableReference = rig.control.ERKChecksum = "";
  EXPECT_EQ(rig.control.BuildVersionRecord(), std::string(18, '\x1C'));
}

}  // namespace
}  // namespace korvex::testing
