// Cardholder verification, in this order: "C17" the terminal action codes,
// "C18" the PIN limits, "C26" the amount confirmation (the cardholder
// answers with a key), "C02" the PIN entry (the cardholder enters the PIN,
// or bypasses it when the request allows).
#include "emulator/core/time_units.h"
#include "emulator/messages/card_fields.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

constexpr size_t kAmountTextWidth = 16;
const std::string kLabelsEnglish = "No   Yes";
const std::string kLabelsEstonian = "Ei   Jah";

Check CheckActionCodes(const std::string& text, PadServices& pad) {
  if (text.size() != 33 || !AllHex(text.substr(3))) {
    return Rejection{kStatusBadFormat, "action codes are three times 10 hex digits"};
  }
  return StepRefusal("C17", pad);
}

void SetActionCodes(const std::string&, PadServices& pad) {
  Txn(pad).step = CardStep::ActionCodesSet;
  pad.Reply("C1700");
}

// The limits: two numbers, then "0", a number and "000" twice.
Check CheckLimits(const std::string& text, PadServices& pad) {
  const std::string body = text.substr(3);
  if (body.size() < 8 || !AllDigits(body) || !body.ends_with("000") ||
      body.find("0000") == std::string::npos) {
    return Rejection{kStatusBadFormat,
                     "PIN limits are digits: two numbers, then \"0\", a number and \"000\" twice"};
  }
  return StepRefusal("C18", pad);
}

void SetLimits(const std::string&, PadServices& pad) {
  Txn(pad).step = CardStep::LimitsSet;
  pad.Reply("C1800");
}

Check CheckAmountConfirmation(const std::string& text, PadServices& pad) {
  const std::string labels = text.size() == 27 ? text.substr(19) : "";
  if (labels != kLabelsEnglish && labels != kLabelsEstonian) {
    return Rejection{kStatusBadFormat,
                     "amount confirmation is \"C26\", 16 characters of amount "
                     "and the labels \"No   Yes\" or \"Ei   Jah\""};
  }
  if (auto refusal = StepRefusal("C26", pad)) return refusal;
  const CardSession& t = Txn(pad);
  const std::string problem =
      AmountTextProblem(text.substr(3, kAmountTextWidth), std::stoull(t.amount), t.currency);
  if (!problem.empty()) return Rejection{kStatusBadFormat, problem};
  const std::string wanted = AnswerLabels(t.tags.count("5F2D") ? t.tags.at("5F2D") : "");
  if (labels != wanted) {
    return Rejection{kStatusBadFormat, "labels \"" + labels +
                                           "\" do not follow the card's language preference (\"" +
                                           wanted + "\")"};
  }
  return std::nullopt;
}

void AskAmount(const std::string&, PadServices& pad) {
  Txn(pad).step = CardStep::AmountAsked;
  CardholderAfter(pad, MsToUs(pad.Config().cardholder.amountDelayMs), [&pad] {
    const std::string key = pad.Config().cardholder.amountKey;
    const bool confirmed = key == "F3" || key == "0D";
    Txn(pad).step = confirmed ? CardStep::AmountConfirmed : CardStep::AmountRefused;
    pad.Note("cardholder presses " + key + (confirmed ? ": amount confirmed" : ": amount refused"));
    pad.Reply("C2600" + key);
  });
}

Check CheckPinEntry(const std::string& text, PadServices& pad) {
  if (text != "C0200010001" + std::string("0") && text != "C0200010001" + std::string("2")) {
    return Rejection{kStatusBadFormat,
                     "PIN entry is \"C02\" \"0001\" \"0001\" and \"0\" or \"2\" (bypass allowed)"};
  }
  return StepRefusal("C02", pad);
}

// The PIN entered, or bypassed: then the TVR notes that no PIN was entered
// (byte 3, 0x08) and the CVM results read "no CVM performed, failed".
void EnterPin(PadServices& pad, bool bypassAllowed) {
  const Cardholder& who = pad.Config().cardholder;
  CardSession& t = Txn(pad);
  if (who.pinStatus != "00") {
    t.step = CardStep::AmountConfirmed;
    pad.Note("PIN entry fails with status " + who.pinStatus);
    pad.Reply("C02" + who.pinStatus);
    return;
  }
  if (who.bypassPin && !bypassAllowed)
    pad.Note("bypass not allowed: the cardholder enters the PIN");
  if (who.bypassPin && bypassAllowed) {
    t.tags["9500"] = WithBits(t.tags["9500"], 2, 0x08);
    t.tags["9F34"] = "3F0001";
    pad.Note("cardholder bypasses the PIN");
  }
  t.step = CardStep::PinDone;
  pad.Reply("C0200" + pad.Pad().Profile().signatureFlag + LengthValue(t.tags["9500"]) +
            LengthValue(t.tags["9B00"]));
}

void AskPin(const std::string& text, PadServices& pad) {
  Txn(pad).step = CardStep::PinEntry;
  const bool bypassAllowed = text.back() == '2';
  CardholderAfter(pad, MsToUs(pad.Config().cardholder.pinDelayMs),
                  [&pad, bypassAllowed] { EnterPin(pad, bypassAllowed); });
}

}  // namespace

void RegisterVerificationMessages(HandlerTable& table) {
  table.Add({"C17", PadApp::Payment, CheckActionCodes, SetActionCodes, StatusReply("C17")});
  table.Add({"C18", PadApp::Payment, CheckLimits, SetLimits, StatusReply("C18")});
  table.Add({"C26", PadApp::Payment, CheckAmountConfirmation, AskAmount, StatusReply("C26")});
  table.Add({"C02", PadApp::Payment, CheckPinEntry, AskPin, StatusReply("C02")});
}

}  // namespace korvex::emu
