// The connection test and the replies that identify the running application:
// P00 (payment application restarted), P01 (its status), KD0 (the loader).
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

int16_t Korvex::PerformConnectionTest(int16_t HostIndex) {
  const Impl::EntryScope scope(*impl_);
  return impl_->PerformConnectionTest(HostIndex);
}

int16_t Korvex::Impl::PerformConnectionTest(int16_t HostIndexArg) {
  if (fState != STATE_TERMINAL_SET) return 1;
  HostIndex = HostIndexArg;
  if (Winsock1->State() == sckConnected) {
    DetectEMVApp(STATE_APP_DETECT);
  } else {
    ConnectRouter(STATE_CONNECT_TEST);
  }
  return 0;
}

void Korvex::Impl::ProcessP01(const std::string& Message) {
  if (CarryOutPendingWarmReset("")) return;
  const bool ready = Message.size() >= 8 && Message.compare(4, 2, "00") == 0 &&
                     Message.compare(6, 2, "02") == 0;
  if (!ready) {
    RaiseInterfaceEvent(1, 44, StateReport("ProcessP01", Message));
    // Acknowledging the reply stopped the timer. Where the P01 reply was
    // awaited, re-arm it so that the state's timeout follows (in 601: the
    // loader suggestion) instead of a dead stop.
    if (fState == STATE_APP_DETECT_ACKED || fState == STATE_SWITCH_CHECK_ACKED ||
        fState == STATE_DOWNLOAD_CHECK_ACKED) {
      RestartTimer(3000);
    }
    return;
  }
  RaiseDebugEvent(10, "EMVApp tuvastatud");
  EMVAppDetection = false;
  switch (fState) {
    case STATE_APP_DETECT_ACKED:
    case STATE_SWITCH_CHECK_ACKED:
      fState = STATE_EMVAPP_READY;
      RaiseInterfaceEvent(0, 1107, "EmvApp is ready");
      break;
    case STATE_DOWNLOAD_CHECK_ACKED:  // a downloaded application: load its tables afresh
      DeleteEMVTables();
      break;
    default:
      RaiseInterfaceEvent(1, 12, StateReport("ProcessP01", Message));
      break;
  }
}

void Korvex::Impl::ProcessP00(const std::string& Message) {
  if (CarryOutPendingWarmReset("")) return;
  switch (fState) {
    case STATE_EMVAPP_SWITCH_WAIT: DetectEMVApp(STATE_SWITCH_CHECK); break;
    case STATE_EMVAPP_START_ACKED: DetectEMVApp(STATE_DOWNLOAD_CHECK); break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessP00", Message)); break;
  }
}

void Korvex::Impl::ProcessKD0(const std::string& Message) {
  if (CarryOutPendingWarmReset("")) return;
  RaiseDebugEvent(10, "Rakendus LoaderApp tuvastatud");
  switch (fState) {
    case STATE_LOADER_DETECT_ACKED: fState = STATE_LOADER_READY; break;
    case STATE_LOADER_SUGGESTED_ACKED: fState = STATE_LOADER_FOUND; break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessKD0", Message)); return;
  }
  RestartTimer(500);  // the expiry sends the next request
}

}  // namespace korvex
