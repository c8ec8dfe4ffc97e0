// The messages this emulator answers, grouped by what they are for. Each
// group adds its handlers to the table; later groups (card transaction, file
// download) join the same way without touching the core.
#pragma once

#include "emulator/core/handler_table.h"

namespace korvex::emu {

void RegisterStandardMessages(HandlerTable& table);

// P01, L00, I07, L0302, L0202: which application runs and the switches.
void RegisterApplicationMessages(HandlerTable& table);
// 72, I050, I02: back to idle and the card reader.
void RegisterResetMessages(HandlerTable& table);
// D01, D03, D04, D05, D06: EST, MVT and version records.
void RegisterTableMessages(HandlerTable& table);

}  // namespace korvex::emu
