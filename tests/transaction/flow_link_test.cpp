// The card transaction at the link: what the emulator would not provoke
// (replies in the wrong state, ACKs of the card-entry rows, connecting for a
// transaction) and the exact bodies of the TVR, script and response writes.
#include <gtest/gtest.h>

#include <cmath>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kLine = "SETCOMM19200,n,8,1  ";

// Interface events only: the trace is pinned by the link's own tests.
Events InterfaceOnly(const Events& all) {
  Events out;
  for (const auto& e : all) {
    if (e.kind == RecordedEvent::Interface) out.push_back(e);
  }
  return out;
}

TEST(StartTransaction, RefusesBadArgumentsAndSendsC23OnlyOnceConnected) {
  PadLink link;
  for (const char* date : {"26030410150", "2603041015000", " 26030410150", "+26030410150",
                           "2603041015.0", "2603041015e1", "26030410150x"}) {
    EXPECT_EQ(link.control.StartTransaction(date, 1, 978, false), 7) << date;
  }
  EXPECT_EQ(link.control.StartTransaction("260304101500", NAN, 978, false), 7);
  EXPECT_EQ(link.Take(), Events{});
  EXPECT_EQ(link.control.StartTransaction("260304101500", 1, 978, true), 0);
  EXPECT_EQ(link.Take(), (Events{DE(8,
                                    "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4 Transaction Started... "
                                    "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4"),
                                 DE(5, "Connecting... State=200")}));
  EXPECT_EQ(link.Wire(), "");
  link.host.RunFor(5);
  EXPECT_EQ(link.Wire(), kLine + WithLrc("C23"));
  EXPECT_EQ(link.control.UseMagText, "True");

  link.control.fState = STATE_CARD_DATA_SENT;  // not yet "Track2 received"
  EXPECT_EQ(link.control.ChangeTransactionAmount(2), 1);
  link.control.fState = STATE_CARD_DATA_READY;
  EXPECT_EQ(link.control.ChangeTransactionAmount(INFINITY), 7);
  EXPECT_EQ(link.control.txn.TransData.TransactionAmount, 1);
}

TEST_F(PadLinkTest, TransactionRepliesInAStateThatExpectsNoneAreReported) {
  Connect(STATE_CHIP_START_ACKED);
  // C00 is the one reply this state expects.
  for (const char* code :
       {"C01", "C02", "C17", "C18", "C20", "C21", "C22", "C23", "C25", "C26", "C83", "C84"}) {
    const std::string f = WithLrc(code + std::string("00"));
    Deliver(f);
    EXPECT_EQ(InterfaceOnly(Take()), Events{IE(1, 12,
                                               "Function='Process" + std::string(code) +
                                                   "'; State=252; Message='" + f + "'.")});
    EXPECT_EQ(control.fState, STATE_CHIP_START_ACKED);
  }
  EXPECT_EQ(Wire(), std::string(12, ACK));
}

TEST(TransactionAcks, CardEntryAndMagnetRows) {
  const std::string insert = "Z2\x1A Sisesta  kaart   Insert  card";
  const std::string c00 = "C0000101260304101500000000000150";
  // State, the state after, bytes written, interface events, reply timer (0: off).
  const std::tuple<int16_t, int16_t, std::string, Events, int32_t> rows[] = {
      {205, 207, WithLrc(insert), {}, 3000},
      {207, 209, WithLrc("I050"), {}, 3000},
      {211, 251, WithLrc(c00), {IE(0, 1101, "Card Inserted!")}, 3000},
      {213, 251, WithLrc(c00), {IE(0, 1101, "Card Inserted!")}, 3000},
      {212, 0, "", {IE(5, 0, "4761739001010010=2212")}, 0},
      {401, 403, WithLrc("Q40"), {}, 3000},
      {403, 405, "", {}, 0},  // the swipe may take any time
  };
  for (const auto& [state, next, wire, events, timer] : rows) {
    SCOPED_TRACE(state);
    PadLink link;
    link.Connect(state, 200);
    link.control.txn.TransData.TransactionDateTime = "260304101500";
    link.control.txn.TransData.TransactionAmount = 1.5;
    link.control.LastTrack2Message = WithLrc("81.;4761739001010010D2212F?\x1C");
    link.Deliver(kAck);
    EXPECT_EQ(InterfaceOnly(link.Take()), events);
    EXPECT_EQ(link.Wire(), wire);
    EXPECT_EQ(link.control.fState, next);
    EXPECT_TRUE(timer ? link.TimerOn(timer) : !link.control.TimeoutTimer->Enabled());
  }
}

TEST(TransactionConnect, EachPurposeSendsTheLineCommandThenItsFirstRequest) {
  const std::tuple<int16_t, int16_t, std::string> rows[] = {
      {200, 201, "C23"},
      {300, 301, "C22201"},
      {400, 401, "Z2\x1A  T6mba kaart      Swipe card"},
  };
  for (const auto& [connectIn, next, request] : rows) {
    SCOPED_TRACE(connectIn);
    PadLink link;
    link.control.txn.ServiceCode = "201";
    link.control.ConnectRouter(connectIn);
    link.host.RunFor(5);
    EXPECT_EQ(link.Wire(), kLine + WithLrc(request));
    EXPECT_EQ(link.control.fState, next);
    EXPECT_TRUE(link.TimerOn(3000));
  }
}

TEST(Blacklist, TheMarkedTvrIsWrittenAndKept) {
  const std::pair<std::string, std::string> rows[] = {
      {"0000008000", "1000008000"},
      {"8000048000", "9000048000"},
      {"1000000000", "1000000000"},
      {"f0", "F0"},
      {"", "10"},  // nothing to mark: the bit alone
  };
  for (const auto& [tvr, marked] : rows) {
    SCOPED_TRACE(tvr);
    PadLink link;
    link.Connect(STATE_TVR_READ_ACKED);
    const std::string size = std::to_string(tvr.size() / 2);
    link.Deliver(WithLrc("C2000" + std::string(3 - size.size(), '0') + size + tvr));
    EXPECT_EQ(link.Wire(), kAck + WithLrc("C21019500005" + marked));
    EXPECT_EQ(link.control.fState, STATE_TVR_WRITE_SENT);
    EXPECT_EQ(getTag(link.control.txn.TransData, "95"), marked);
  }
}

TEST(SecondCryptogram, ResponseWriteAnnouncesWholeBytesOfTheIad) {
  const std::pair<std::string, std::string> rows[] = {
      {"", "000"},
      {"1234567", "0031234567"},  // 7 characters: 3 whole bytes
      {"0102030405060708", "0080102030405060708"},
  };
  for (const auto& [iad, field] : rows) {
    PadLink link;
    link.Connect(STATE_AUTHORISATION);
    EXPECT_EQ(link.control.GetSecondCrypto(0, "", "", iad, "3030"), 0);
    EXPECT_EQ(link.Wire(), WithLrc("C21029100" + field + "8A00002" + "3030"));
    EXPECT_EQ(link.control.fState, STATE_SCRIPT_ACKED);
  }
}

TEST(SecondCryptogram, ScriptsGoInBlocksOf240BytesTag71First) {
  PadLink link;
  link.Connect(STATE_AUTHORISATION);
  const std::string s71(10, '\x11'), s72(300, '\xAB');
  const std::string hex71 = std::string(20, '1'), hex72 = [] {
    std::string h;
    for (int i = 0; i < 300; ++i) h += "AB";
    return h;
  }();
  EXPECT_EQ(link.control.GetSecondCrypto(2, s71, s72, "11223344", "3030"), 0);
  // Each block is acknowledged and answered; "99" (a failed script) goes on.
  const std::string blocks[] = {
      "C2571"
      "0"
      "01"
      "010" +
          hex71,
      "C2572"
      "0"
      "81"
      "240" +
          hex72.substr(0, 480),
      "C2572"
      "1"
      "91"
      "060" +
          hex72.substr(480),
      "C21029100"
      "004"
      "11223344"
      "8A00002"
      "3030",
  };
  const char* results[] = {"00", "99", "00"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(link.Wire(), (i ? kAck : "") + WithLrc(blocks[i]));
    link.Forget();
    if (i == 3) break;
    link.Deliver(kAck);
    EXPECT_EQ(link.control.fState, STATE_SCRIPT_ACKED);
    link.Deliver(WithLrc(std::string("C25") + results[i]));
  }
  EXPECT_EQ(link.control.txn.Script71Hex + link.control.txn.Script72Hex, "");
}

}  // namespace
}  // namespace korvex::testing
