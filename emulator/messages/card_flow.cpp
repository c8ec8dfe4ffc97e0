#include "emulator/messages/card_flow.h"

#include <algorithm>
#include <initializer_list>

namespace korvex::emu {
namespace {

bool OneOf(const std::string& code, std::initializer_list<const char*> codes) {
  return std::any_of(codes.begin(), codes.end(), [&](const char* c) { return code == c; });
}

// The requests each step of the transaction takes. "C20" reads card data
// once an application is selected, except while the cardholder is busy.
bool StepTakes(CardStep step, const std::string& code) {
  switch (step) {
    case CardStep::Idle: return false;
    case CardStep::CardEntry: return OneOf(code, {"C00"});
    case CardStep::ChipStarting: return false;
    case CardStep::ChipStarted: return OneOf(code, {"C010"});
    case CardStep::AppSelected: return OneOf(code, {"C00", "C20", "C17"});
    case CardStep::ActionCodesSet: return OneOf(code, {"C20", "C18"});
    case CardStep::LimitsSet: return OneOf(code, {"C20", "C26"});
    case CardStep::AmountAsked: return false;
    case CardStep::AmountConfirmed: return OneOf(code, {"C20", "C02"});
    case CardStep::AmountRefused: return false;
    case CardStep::PinEntry: return false;
    case CardStep::PinDone: return OneOf(code, {"C20", "C21", "C83"});
    case CardStep::FirstAc: return OneOf(code, {"C20", "C25", "C21"});
    case CardStep::IssuerDataSet: return OneOf(code, {"C20", "C84"});
    case CardStep::SecondAc: return OneOf(code, {"C20"});
  }
  return false;
}

}  // namespace

CardSession& Txn(PadServices& pad) {
  return pad.Pad().Transaction();
}

std::optional<Rejection> StepRefusal(const std::string& code, PadServices& pad) {
  const CardStep step = Txn(pad).step;
  if (StepTakes(step, code)) return std::nullopt;
  return Rejection{kStatusPreviousStep,
                   "\"" + code + "\" out of order: the card transaction is at " +
                       CardStepName(step) + (step == CardStep::Idle ? " (no \"C23\")" : "")};
}

void StartCardSession(PadServices& pad) {
  CancelCardholder(pad);
  Txn(pad) = CardSession{};
  Txn(pad).step = CardStep::CardEntry;
}

void EndCardSession(PadServices& pad) {
  CancelCardholder(pad);
  Txn(pad) = CardSession{};
}

void CardholderAfter(PadServices& pad, int64_t delayUs, std::function<void()> action) {
  CancelCardholder(pad);
  Txn(pad).cardholderTimer = pad.AfterUs(delayUs, [&pad, action] {
    Txn(pad).cardholderTimer.reset();
    action();
  });
}

void CancelCardholder(PadServices& pad) {
  if (auto& timer = Txn(pad).cardholderTimer) {
    pad.Cancel(*timer);
    timer.reset();
    pad.Note("the cardholder stops");
  }
}

}  // namespace korvex::emu
