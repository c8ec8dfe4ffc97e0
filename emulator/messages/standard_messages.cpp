#include "emulator/messages/standard_messages.h"

namespace korvex::emu {

void RegisterStandardMessages(HandlerTable& table) {
  RegisterApplicationMessages(table);
  RegisterResetMessages(table);
  RegisterTableMessages(table);
  RegisterCardEntryMessages(table);
  RegisterCardDataMessages(table);
  RegisterVerificationMessages(table);
  RegisterCryptogramMessages(table);
  RegisterIssuerDataMessages(table);
  RegisterDownloadMessages(table);
}

}  // namespace korvex::emu
