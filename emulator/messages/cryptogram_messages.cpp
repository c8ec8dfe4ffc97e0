// First and second cryptogram. "C83" asks the card for its first
// cryptogram (after the PIN entry, and after the TVR write of the blacklist
// path); "C84" asks for the second once the issuer data was handed over,
// answered with one result per issuer script received.
#include "emulator/messages/card_cryptogram.h"
#include "emulator/messages/card_fields.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

// TVR byte 5: a script failed before (71) / after (72) the final cryptogram.
constexpr unsigned kScriptFailedBefore = 0x20;
constexpr unsigned kScriptFailedAfter = 0x10;
// TSI byte 1: script processing performed.
constexpr unsigned kScriptsProcessed = 0x04;

Rejection OutOfOrder(const std::string& why) {
  return Rejection{kStatusPreviousStep, why};
}

Check CheckFirstAc(const std::string& text, PadServices& pad) {
  if (text.size() != 4 || text[3] < '0' || text[3] > '2') {
    return Rejection{kStatusBadFormat, "first cryptogram is \"C83\" and a decision digit 0-2"};
  }
  if (auto refusal = StepRefusal("C83", pad)) return refusal;
  const CardSession& t = Txn(pad);
  if (t.tvrRead && !t.tvrWritten) {
    return OutOfOrder("first cryptogram after the TVR was read but before it was written back");
  }
  return std::nullopt;
}

void FirstAc(const std::string&, PadServices& pad) {
  CardProfile& card = pad.Pad().Profile();
  CardSession& t = Txn(pad);
  GenerateFirstAc(t, card, card.firstAc.cid);
  t.step = CardStep::FirstAc;
  pad.Reply("C8300" + LengthValue(card.firstAc.cid) + LengthValue(card.firstAc.arc));
}

Check CheckSecondAc(const std::string& text, PadServices& pad) {
  if (text.size() != 4 || text[3] < '0' || text[3] > '4') {
    return Rejection{kStatusBadFormat, "second cryptogram is \"C84\" and a decision digit 0-4"};
  }
  return StepRefusal("C84", pad);
}

// The decision: 0 approved online, 1 declined online, 2 and 3 approved and
// declined offline when the issuer could not be reached, 4 abandoned. A
// profile's own answer wins.
CryptogramAnswer SecondAnswer(char decision, const CardSession& t, const CardProfile& card) {
  CryptogramAnswer a;
  switch (decision) {
    case '0': a = {"40", t.issuerArc}; break;
    case '1': a = {"00", t.issuerArc}; break;
    case '2': a = {"40", "5933"}; break;  // "Y3"
    case '3': a = {"00", "5A33"}; break;  // "Z3"
    default: a = {"00", t.issuerArc}; break;
  }
  if (!card.secondAc.cid.empty()) a.cid = card.secondAc.cid;
  if (!card.secondAc.arc.empty()) a.arc = card.secondAc.arc;
  return a;
}

// One five-byte result per script: 0x20 done, 0x10 failed; no script
// identifier.
std::string ScriptResults(CardSession& t) {
  std::string results = PadNumber(t.scripts.size(), 2);
  for (const ScriptTransfer& s : t.scripts) {
    results += (s.failed ? "10" : "20") + std::string(8, '0');
    if (s.failed) {
      const unsigned bit = s.tag == "71" ? kScriptFailedBefore : kScriptFailedAfter;
      t.tags["9500"] = WithBits(t.tags["9500"], 4, bit);
    }
  }
  if (!t.scripts.empty()) t.tags["9B00"] = WithBits(t.tags["9B00"], 0, kScriptsProcessed);
  return results;
}

void SecondAc(const std::string& text, PadServices& pad) {
  CardSession& t = Txn(pad);
  const CryptogramAnswer a = SecondAnswer(text[3], t, pad.Pad().Profile());
  const std::string results = ScriptResults(t);
  GenerateSecondAc(t, pad.Pad().Profile(), a.cid);
  t.step = CardStep::SecondAc;
  pad.Reply("C8400" + LengthValue(a.cid) + LengthValue(a.arc) + results);
}

}  // namespace

void RegisterCryptogramMessages(HandlerTable& table) {
  table.Add({"C83", PadApp::Payment, CheckFirstAc, FirstAc, StatusReply("C83")});
  table.Add({"C84", PadApp::Payment, CheckSecondAc, SecondAc, StatusReply("C84")});
}

}  // namespace korvex::emu
