// Initialisation: ask the PIN pad for its version record and decide whether
// its keys or tables must be renewed.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"

namespace korvex {

int16_t Korvex::InitTransaction() {
  const Impl::EntryScope scope(*impl_);
  return impl_->InitTransaction();
}

int16_t Korvex::Impl::InitTransaction() {
  if (fState != STATE_EMVAPP_READY) return 1;
  RaiseDebugEvent(8, "############## Initialization Started... ############");
  if (Winsock1->State() == sckConnected) {
    SendD03Request();
  } else {
    ConnectRouter(STATE_CONNECT_INIT);
  }
  return 0;
}

void Korvex::Impl::ProcessD03(const std::string& Message) {
  if (CarryOutPendingWarmReset("Warm reset at ProcessD03()")) return;
  if (fState != STATE_D03_ACKED) {
    RaiseInterfaceEvent(1, 12, StateReport("ProcessD03", Message));
    return;
  }
  if (MessageResult(Message) != "00") {
    // No readable version record: the keys are loaded afresh.
    RaiseDebugEvent(10, "K\xE4ivitan LoaderApp v\xF5tmete allalaadimiseks...");
    StartLoaderApp();
    return;
  }
  ComputeDownloadMask(Message);
  if (DownloadMask & 1) {  // a changed key set needs the loader, whatever the tables say
    RaiseDebugEvent(10, "K\xE4ivitan LoaderApp...");
    StartLoaderApp();
  } else if (DownloadMask & 2) {
    DeleteEMVTables();
  } else {
    fState = STATE_INIT_DONE;
    RaiseInterfaceEvent(0, 1100, "Init completed");
  }
}

}  // namespace korvex
