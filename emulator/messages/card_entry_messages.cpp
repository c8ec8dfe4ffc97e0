// Card entry. "C23" opens a transaction, "Q40"/"Q41" turn swipe reading on
// and off, "Z2" shows a prompt (the cardholder presents the card after a
// prompt), "C00" starts the chip once the card is in the reader. A swipe
// read while swipe reading is on is sent as the track message "81." (with
// "*" for a card that has a chip).
#include "emulator/core/time_units.h"
#include "emulator/messages/card_fields.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"
#include "link/framing.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

constexpr char kClearDisplay = 0x1A;
constexpr size_t kDisplayWidth = 32;

void OpenTransaction(const std::string&, PadServices& pad) {
  StartCardSession(pad);
  pad.Note("card transaction opened: waiting for the card");
  pad.Reply("C2300");
}

Check CheckSwipeReading(const std::string& text, PadServices&) {
  if (text == "Q40" || text == "Q41") return std::nullopt;
  return Rejection{kStatusBadFormat, "swipe reading is \"Q40\" (on) or \"Q41\" (off)"};
}

void SetSwipeReading(const std::string& text, PadServices& pad) {
  Txn(pad).swipeReading = text == "Q40";
  pad.Note(std::string("swipe reading ") + (Txn(pad).swipeReading ? "on" : "off"));
}

Check CheckDisplay(const std::string& text, PadServices&) {
  const size_t start = text.size() > 2 && text[2] == kClearDisplay ? 3 : 2;
  const std::string shown = text.substr(start);
  if (shown.size() > kDisplayWidth) {
    return Rejection{kStatusBadFormat, "display text of " + std::to_string(shown.size()) +
                                           " characters; the display shows 32"};
  }
  for (unsigned char c : shown) {
    if (c < 0x20 || c == 0x7F)
      return Rejection{kStatusBadFormat, "control character in display text"};
  }
  return std::nullopt;
}

// The chip start answered: the card's application and the transaction's
// card data from here on.
void AnswerChipStart(PadServices& pad) {
  const CardProfile& card = pad.Pad().Profile();
  CardSession& t = Txn(pad);
  if (!card.HasChip()) {
    t.step = CardStep::CardEntry;
    pad.Note("the card in the chip reader has no chip");
    pad.Reply("C00" + kStatusChipError);
    return;
  }
  t.tags = card.tags;
  t.firstAcDone = t.tvrRead = t.tvrWritten = false;
  t.step = CardStep::ChipStarted;
  pad.Reply("C0000" + LengthValue(card.aid) + LengthValue(TextToHex(card.label)) +
            LengthValue(t.tags["5F2D"]));
}

void InsertCard(PadServices& pad) {
  pad.Pad().Card().present = true;
  pad.Note("cardholder inserts the card");
  if (Txn(pad).step == CardStep::ChipStarting) AnswerChipStart(pad);
}

void SwipeCard(PadServices& pad) {
  if (!Txn(pad).swipeReading) {
    pad.Note("cardholder swipes the card; swipe reading is off: not read");
    return;
  }
  const CardProfile& card = pad.Pad().Profile();
  pad.Note("cardholder swipes the card");
  pad.Announce(std::string("81.") + (card.HasChip() ? "*" : "") + ";" + card.track2 + "?" + FS);
}

// A prompt on the display: a cardholder without a card in the reader
// presents it after a while.
void Display(const std::string& text, PadServices& pad) {
  pad.Note("display: " + text.substr(text.size() > 2 && text[2] == kClearDisplay ? 3 : 2));
  const Cardholder& who = pad.Config().cardholder;
  if (pad.Pad().Card().present || Txn(pad).cardholderTimer || who.entry == CardEntry::None) return;
  CardholderAfter(pad, MsToUs(who.entryDelayMs), [&pad] {
    if (pad.Config().cardholder.entry == CardEntry::Swipe) {
      SwipeCard(pad);
    } else {
      InsertCard(pad);
    }
  });
}

Check CheckChipStart(const std::string& text, PadServices& pad) {
  if (text.size() != 32 || text.compare(0, 8, "C0000101") != 0 || !AllDigits(text.substr(8))) {
    return Rejection{kStatusBadFormat,
                     "chip start is \"C0000101\", 12 digits of date and time and 12 digits of "
                     "amount"};
  }
  return StepRefusal("C00", pad);
}

// The chip start ends swipe reading; without a card in the reader the pad
// waits for it (a swiped chip card is inserted now).
void StartChip(const std::string& text, PadServices& pad) {
  CardSession& t = Txn(pad);
  t.swipeReading = false;
  t.dateTime = text.substr(8, 12);
  t.amount = text.substr(20, 12);
  t.step = CardStep::ChipStarting;
  if (pad.Pad().Card().present) {
    AnswerChipStart(pad);
    return;
  }
  pad.Note("chip start: waiting for the card in the chip reader");
  const Cardholder& who = pad.Config().cardholder;
  if (t.cardholderTimer || who.entry == CardEntry::None) return;
  CardholderAfter(pad, MsToUs(who.entryDelayMs), [&pad] { InsertCard(pad); });
}

}  // namespace

void RegisterCardEntryMessages(HandlerTable& table) {
  table.Add({"C23", PadApp::Payment, ExactText("C23"), OpenTransaction, StatusReply("C23")});
  table.Add({"Q4", PadApp::Payment, CheckSwipeReading, SetSwipeReading, nullptr});
  table.Add({"Z2", PadApp::Payment, CheckDisplay, Display, nullptr});
  table.Add({"C00", PadApp::Payment, CheckChipStart, StartChip, StatusReply("C00")});
}

}  // namespace korvex::emu
