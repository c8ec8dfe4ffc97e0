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
  // The file transfer of download mode registers its handlers (the download
  // request, ENQ, file headers, data blocks, EOT) for PadApp::Download.
}

}  // namespace korvex::emu
