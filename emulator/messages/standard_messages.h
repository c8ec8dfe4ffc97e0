// The messages this emulator answers, grouped by what they are for. Each
// group adds its handlers to the table.
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
// The card transaction:
// C23, Q4, Z2, C00: card entry, swipes and the chip start.
void RegisterCardEntryMessages(HandlerTable& table);
// C010, C20, C22: application selection, card data, fallback check.
void RegisterCardDataMessages(HandlerTable& table);
// C17, C18, C26, C02: cardholder verification.
void RegisterVerificationMessages(HandlerTable& table);
// C83, C84: first and second cryptogram.
void RegisterCryptogramMessages(HandlerTable& table);
// C21, C25: the TVR write, issuer data and issuer scripts.
void RegisterIssuerDataMessages(HandlerTable& table);
// Download mode: ENQ (the download request), the file transfer, EOT.
void RegisterDownloadMessages(HandlerTable& table);

}  // namespace korvex::emu
