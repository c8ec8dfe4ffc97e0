// The emulated PIN pad as the demo sets it up: its tables, and the
// cardholder who uses it.
#pragma once

#include <string>

#include "emulator/core/cardholder.h"
#include "emulator/core/emulator_config.h"
#include "emulator/core/pin_pad.h"
#include "korvex/json_terminal.h"

namespace korvex::cli {

// The pad as the demo finds it: payment application running, the version
// record naming the terminal's key set but an older table reference, and a
// couple of old records in each table. Its card is the emulator's chip card.
emu::PadState OldTablesPad(const std::string& keyChecksum);

// The key set's name as the version record holds it.
std::string KeyChecksum(JsonTerminal& terminal);

// A cardholder who presents the card this way. Unpaced, the cardholder is
// quick so that the whole demo takes a second or two; paced, the emulator's
// own delays show a real counter's rhythm.
emu::Cardholder DemoCardholder(emu::CardEntry entry, bool pace);

// How long the pad takes to start its applications. Unpaced, at once, so that
// the demo waits only for the control's own timers.
emu::Delays DemoDelays(bool pace);

// How long the cardholder takes to pull the card out when asked to.
int64_t DemoCardRemovalMs(bool pace);

}  // namespace korvex::cli
