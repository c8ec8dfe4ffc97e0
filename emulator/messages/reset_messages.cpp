// Back to idle and the card reader: "72" ends whatever waits (the card
// transaction, swipe reading, the cardholder), I05 reports the card, I02 is
// answered once the reader is empty.
#include "emulator/core/time_units.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

void BackToIdle(const std::string&, PadServices& pad) {
  EndCardSession(pad);
  if (pad.Pad().removalWait) {
    pad.Cancel(*pad.Pad().removalWait);
    pad.Pad().removalWait.reset();
    pad.Note("idle: the wait for the card's removal is abandoned");
  } else {
    pad.Note("idle");
  }
}

void CardStatus(const std::string&, PadServices& pad) {
  pad.Reply(pad.Pad().Card().present ? "I051" : "I050");
}

void AwaitRemoval(const std::string&, PadServices& pad) {
  PinPad& p = pad.Pad();
  if (!p.Card().present) {
    pad.Reply("I02");
    return;
  }
  if (p.removalWait) {
    pad.Note("already waiting for the card's removal");
    return;
  }
  if (p.Card().removalDelayMs < 0) {
    pad.Note("the card stays in the reader");
    return;
  }
  p.removalWait = pad.AfterUs(MsToUs(p.Card().removalDelayMs), [&pad] {
    pad.Pad().Card().present = false;
    pad.Pad().removalWait.reset();
    pad.Note("card taken out of the reader");
    pad.Reply("I02");
  });
}

}  // namespace

void RegisterResetMessages(HandlerTable& table) {
  table.Add({"72", PadApp::Payment, ExactText("72"), BackToIdle, nullptr});
  table.Add({"I05", PadApp::Payment, ExactText("I050"), CardStatus, nullptr});
  table.Add({"I02", PadApp::Payment, ExactText("I02"), AwaitRemoval, nullptr});
}

}  // namespace korvex::emu
