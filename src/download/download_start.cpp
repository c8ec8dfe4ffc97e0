// From the loader's download mode to the transfer: the files are prepared,
// then the control reconnects with the faster line and CRC-16 frames. When
// the files cannot be prepared the attempt ends here.
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

void Korvex::Impl::ConnectForDownload() {
  std::string failure;
  if (!PrepareDownload(failure)) {
    AbandonDownload(failure);
    return;
  }
  ChecksumMode = 2;
  Winsock1->Close();
  DoEvents();
  ConnectRouter(STATE_CONNECT_DOWNLOAD);
}

// Called when the PIN pad's loader is in download mode but the files cannot be
// prepared. The connection is dropped (the loader waits for a transfer that
// will not come) and the control returns to where a new connection test can
// start: STATE_TERMINAL_SET with the terminal object still bound, else
// STATE_IDLE. The report comes last, so a host that reacts inside the event
// finds the control ready.
void Korvex::Impl::AbandonDownload(const std::string& Failure) {
  ResetConnection();
  if (terminalObject != nullptr) fState = STATE_TERMINAL_SET;
  RaiseInterfaceEvent(1, 44, Failure);
}

}  // namespace korvex
