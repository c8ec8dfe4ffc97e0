#include "emulator/core/card_session.h"

namespace korvex::emu {

std::string CardStepName(CardStep step) {
  switch (step) {
    case CardStep::Idle: return "idle";
    case CardStep::CardEntry: return "card entry";
    case CardStep::ChipStarting: return "chip start";
    case CardStep::ChipStarted: return "chip started";
    case CardStep::AppSelected: return "application selected";
    case CardStep::ActionCodesSet: return "action codes set";
    case CardStep::LimitsSet: return "limits set";
    case CardStep::AmountAsked: return "amount confirmation";
    case CardStep::AmountConfirmed: return "amount confirmed";
    case CardStep::AmountRefused: return "amount refused";
    case CardStep::PinEntry: return "PIN entry";
    case CardStep::PinDone: return "PIN entered";
    case CardStep::FirstAc: return "first cryptogram";
    case CardStep::IssuerDataSet: return "issuer data set";
    case CardStep::SecondAc: return "second cryptogram";
  }
  return "?";
}

}  // namespace korvex::emu
