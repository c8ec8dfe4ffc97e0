// Application selection and card data. "C010" selects the card's
// application for the chip start's amount and names the currency; "C20"
// reads data objects by tag list; "C22" tells whether a service code
// belongs to a card that must be read by its chip.
#include <set>

#include "emulator/messages/card_fields.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

// Data objects that exist only once the card computed a cryptogram.
const std::set<std::string> kCryptogramTags = {"9F26", "9F27", "9F37"};

Check CheckSelect(const std::string& text, PadServices& pad) {
  if (text.size() != 32 || text.compare(0, 4, "C010") != 0 || !AllDigits(text.substr(4)) ||
      text.substr(16, 12) != "000000000000") {
    return Rejection{kStatusBadFormat,
                     "application selection is \"C010\", 12 digits of amount, "
                     "\"000000000000\" and 4 digits of currency"};
  }
  if (auto refusal = StepRefusal("C010", pad)) return refusal;
  if (text.substr(4, 12) != Txn(pad).amount) {
    return Rejection{kStatusBadFormat, "amount " + text.substr(4, 12) +
                                           " differs from the chip start's " + Txn(pad).amount};
  }
  return std::nullopt;
}

// Values: AID, label, priority, language, issuer country, track 2
// equivalent, PAN, expiry, PAN sequence number; then one flag character.
void SelectApplication(const std::string& text, PadServices& pad) {
  const CardProfile& card = pad.Pad().Profile();
  CardSession& t = Txn(pad);
  t.currency = text.substr(28, 4);
  t.step = CardStep::AppSelected;
  pad.Reply("C0100" + LengthValue(card.aid) + LengthValue(TextToHex(card.label)) +
            LengthValue("01") + LengthValue(t.tags["5F2D"]) + LengthValue(t.tags["5F28"]) +
            LengthValue(card.Track2Hex()) + LengthValue(card.PanHex()) + LengthValue(card.expiry) +
            LengthValue(t.tags["5F34"]) + "0");
}

Check CheckTagRead(const std::string& text, PadServices& pad) {
  auto parsed = ParseTagList(text.substr(3));
  if (auto* rejection = std::get_if<Rejection>(&parsed)) return *rejection;
  if (auto refusal = StepRefusal("C20", pad)) return refusal;
  for (const auto& tag : std::get<std::vector<std::string>>(parsed)) {
    if (kCryptogramTags.count(tag) && !Txn(pad).firstAcDone) {
      return Rejection{kStatusPreviousStep, "tag " + tag + " read before the first cryptogram"};
    }
    if (!Txn(pad).tags.count(tag)) {
      return Rejection{kStatusTagNotFound, "the card holds no tag " + tag};
    }
  }
  return std::nullopt;
}

void ReadTags(const std::string& text, PadServices& pad) {
  CardSession& t = Txn(pad);
  std::string reply = "C2000";
  const auto tags = std::get<std::vector<std::string>>(ParseTagList(text.substr(3)));
  for (const auto& tag : tags) {
    reply += LengthValue(t.tags[tag]);
    if (tag == "9500" && t.step == CardStep::PinDone) t.tvrRead = true;
  }
  pad.Reply(reply);
}

Check CheckServiceCode(const std::string& text, PadServices&) {
  if (text.size() == 6 && AllDigits(text.substr(3))) return std::nullopt;
  return Rejection{kStatusBadFormat, "fallback check is \"C22\" and a service code of 3 digits"};
}

void AnswerServiceCode(const std::string& text, PadServices& pad) {
  const bool chip = text[3] == '2' || text[3] == '6';
  pad.Reply("C22" + (chip ? std::string("20") : pad.Config().replies.serviceCodeNoChip));
}

}  // namespace

void RegisterCardDataMessages(HandlerTable& table) {
  table.Add({"C01", PadApp::Payment, CheckSelect, SelectApplication, StatusReply("C01")});
  table.Add({"C20", PadApp::Payment, CheckTagRead, ReadTags, StatusReply("C20")});
  table.Add({"C22", PadApp::Payment, CheckServiceCode, AnswerServiceCode, StatusReply("C22")});
}

}  // namespace korvex::emu
