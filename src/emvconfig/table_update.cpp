// The EMV table update: every EST and MVT record of the PIN pad is deleted,
// fresh records are added, and the version record is saved last, so that an
// interrupted update is detected at the next initialisation.
//
// 151 -> 152 -> (155 -> 156) x n -> 153 -> 154 -> (157 -> 158) x m -> 160
//     -> (159 -> 160) x e -> 162 -> (161 -> 162) x v -> 163 -> 164 -> 165
#include <algorithm>
#include <initializer_list>
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace korvex {

namespace {

// Largest index of a 1-based record list whose element 0 is unused.
size_t UpperBound(const std::vector<std::string>& records) {
  return records.empty() ? 0 : records.size() - 1;
}

std::string WithLength(const std::string& record) {
  return ZeroPadNumber(static_cast<int32_t>(record.size()), 3) + record;
}

}  // namespace

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

// A table reply counts only in a state that awaits it and with status "00".
// Out of turn it is reported and ends the update (back to idle); a failure
// status is reported as 200 + status.
bool Korvex::Impl::AcceptTableReply(const std::string& function, const std::string& Message,
                                    std::initializer_list<int16_t> awaiting) {
  if (std::find(awaiting.begin(), awaiting.end(), fState) == awaiting.end()) {
    RaiseInterfaceEvent(1, 12, StateReport(function, Message));
    fState = STATE_IDLE;
    return false;
  }
  if (MessageResult(Message) != "00") {
    ReportResultCode(200, MessageResult(Message));
    return false;
  }
  return true;
}

// Table information: the record count stands between the first two FS.
void Korvex::Impl::ProcessD01(const std::string& Message) {
  if (!AcceptTableReply("ProcessD01", Message,
                        {STATE_EST_INFO_ACKED, STATE_MVT_INFO_ACKED, STATE_EST_DELETE_ACKED,
                         STATE_MVT_DELETE_ACKED})) {
    return;
  }
  const size_t p1 = Message.find(FS);
  const size_t p2 = p1 == std::string::npos ? p1 : Message.find(FS, p1 + 1);
  int16_t count = 0;
  if (p2 == std::string::npos || !ToInteger(Message.substr(p1 + 1, p2 - p1 - 1), count)) {
    RaiseInterfaceEvent(1, 25, StateReport("ProcessD01", Message));
    return;
  }
  RecordsLeft = count;
  DeleteNextTableRecord();
}

// Each request deletes one record; a table reported empty moves on.
void Korvex::Impl::DeleteNextTableRecord() {
  switch (fState) {
    case STATE_EST_INFO_ACKED:
    case STATE_EST_DELETE_ACKED: fState = STATE_EST_DELETE_SENT; break;
    case STATE_MVT_INFO_ACKED:
    case STATE_MVT_DELETE_ACKED: fState = STATE_MVT_DELETE_SENT; break;
    default: break;
  }

  if (RecordsLeft >= 1) {
    --RecordsLeft;
    if (fState == STATE_EST_DELETE_SENT) {
      RaiseDebugEvent(8, "Deleting EST Record.");
      SendRequest(STATE_EST_DELETE_SENT, "D0601000");
    } else if (fState == STATE_MVT_DELETE_SENT) {
      RaiseDebugEvent(8, "Deleting MVT Record.");
      SendRequest(STATE_MVT_DELETE_SENT, "D0602000");
    }
    return;
  }
  if (fState == STATE_EST_DELETE_SENT) {
    fState = STATE_MVT_INFO_SENT;
    GetTableInfo();
  } else if (fState == STATE_MVT_DELETE_SENT) {
    RaiseDebugEvent(10, "EMV Tabelid kustutatud!");
    AddTableRecords();
  }
}

void Korvex::Impl::ProcessD06(const std::string& Message) {
  if (AcceptTableReply("ProcessD06", Message, {STATE_EST_DELETE_ACKED, STATE_MVT_DELETE_ACKED})) {
    DeleteNextTableRecord();
  }
}

// A record that cannot be built stops the update silently in 157; nothing
// half-built is ever sent.
void Korvex::Impl::AddTableRecords() {
  if (!BuildESTRecords()) return;
  if (!BuildMVTRecords()) return;
  fState = STATE_EST_ADD_ACKED;
  RetryCount = 0;
  SendNextTableRecord();
}

// RetryCount serves as the index of the record to add.
void Korvex::Impl::SendNextTableRecord() {
  ++RetryCount;
  const auto index = static_cast<size_t>(RetryCount);
  switch (fState) {
    case STATE_EST_ADD_ACKED:
      if (index > UpperBound(ESTRecords)) {
        fState = STATE_MVT_ADD_ACKED;
        RetryCount = 0;
        SendNextTableRecord();
        return;
      }
      RaiseDebugEvent(8, "Lisan EST kirje");
      SendRequest(STATE_EST_ADD_SENT, "D0401071" + WithLength(ESTRecords[index]));
      break;
    case STATE_MVT_ADD_ACKED:
      if (index > UpperBound(MVTRecords)) {
        RaiseDebugEvent(10, "EMV tabelid uuendatud! Salvestan versioonid...");
        SaveVersions();
        return;
      }
      RaiseDebugEvent(8, "Lisan MVT kirje");
      SendRequest(STATE_MVT_ADD_SENT, "D0402047" + WithLength(MVTRecords[index]));
      break;
    default: break;
  }
}

void Korvex::Impl::SaveVersions() {
  fState = STATE_VERSIONS_SENT;
  SendRequest(STATE_VERSIONS_SENT, "D0503001018" + WithLength(BuildVersionRecord()));
}

// Adds and the version save are answered by D04 or D05; both behave alike,
// except for the state left after the version save.
void Korvex::Impl::ProcessD04(const std::string& Message) { ProcessAddReply(Message, false); }
void Korvex::Impl::ProcessD05(const std::string& Message) { ProcessAddReply(Message, true); }

void Korvex::Impl::ProcessAddReply(const std::string& Message, bool isD05) {
  if (!AcceptTableReply(isD05 ? "ProcessD05" : "ProcessD04", Message,
                        {STATE_EST_ADD_ACKED, STATE_MVT_ADD_ACKED, STATE_VERSIONS_ACKED})) {
    return;
  }
  if (fState == STATE_VERSIONS_ACKED) {
    RaiseInterfaceEvent(0, 1100, "Init completed");
    fState = isD05 ? STATE_INIT_DONE : STATE_IDLE;
    return;
  }
  SendNextTableRecord();
}

}  // namespace korvex
