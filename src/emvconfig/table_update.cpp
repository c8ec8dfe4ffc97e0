// The EMV table update: every EST and MVT record of the PIN pad is deleted,
// fresh records are added, and the version record is saved last.
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

void Korvex::Impl::DeleteEMVTables() {
  fState = STATE_EST_INFO_SENT;
  RaiseDebugEvent(10, "Kustutan EMV tabelid...");
  GetTableInfo();
}

void Korvex::Impl::GetTableInfo() {
  switch (fState) {
    case STATE_EST_INFO_SENT: SendRequest(STATE_EST_INFO_SENT, "D0101"); break;
    case STATE_MVT_INFO_SENT: SendRequest(STATE_MVT_INFO_SENT, "D0102"); break;
    default:
      RaiseInterfaceEvent(1, 45, "GetTableInfo() was called at State=" + std::to_string(fState));
      break;
  }
}

}  // namespace korvex
