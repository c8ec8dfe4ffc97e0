// The part of a control that a receive-path run starts from: every field the
// protocol's handlers read or write, and whether the reply timer runs. Taken
// from a control driven for real and put into another, it brings that one
// into the same waiting state at the cost of a few copies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/korvex_impl.h"

namespace korvex::fuzz {

struct ControlSnapshot {
  int16_t fState = STATE_IDLE;
  std::string ReceiveBuffer, LastSentMessage, LastTrack2Message, UseMagText;
  std::string ERKChecksum, TableReference, PinPadName;
  int16_t NakCount = 0, HostIndex = 0, RetryCount = 0, RecordsLeft = 0;
  bool WarmResetPending = false, ServiceCodeChecked = false, EMVAppDetection = false;
  uint8_t ChecksumMode = 1, DownloadMask = 0;
  std::vector<std::string> ESTRecords, MVTRecords;
  TransactionFields txn;
  DownloadFields dl;
  int32_t timerMs = 0;  // 0: the reply timer is off
};

inline ControlSnapshot Capture(const Korvex::Impl& c) {
  ControlSnapshot s;
  s.fState = c.fState;
  s.ReceiveBuffer = std::string(c.ReceiveBuffer.View());
  s.LastSentMessage = c.LastSentMessage;
  s.LastTrack2Message = c.LastTrack2Message;
  s.UseMagText = c.UseMagText;
  s.ERKChecksum = c.ERKChecksum;
  s.TableReference = c.TableReference;
  s.PinPadName = c.PinPadName;
  s.NakCount = c.NakCount;
  s.HostIndex = c.HostIndex;
  s.RetryCount = c.RetryCount;
  s.RecordsLeft = c.RecordsLeft;
  s.WarmResetPending = c.WarmResetPending;
  s.ServiceCodeChecked = c.ServiceCodeChecked;
  s.EMVAppDetection = c.EMVAppDetection;
  s.ChecksumMode = c.ChecksumMode;
  s.DownloadMask = c.DownloadMask;
  s.ESTRecords = c.ESTRecords;
  s.MVTRecords = c.MVTRecords;
  s.txn = c.txn;
  s.dl = c.dl;
  s.timerMs = c.TimeoutTimer->Enabled() ? c.TimeoutTimer->Interval() : 0;
  return s;
}

// The control's socket and terminal object stay as they are.
inline void Restore(const ControlSnapshot& s, Korvex::Impl& c) {
  c.fState = s.fState;
  c.ReceiveBuffer = s.ReceiveBuffer;
  c.LastSentMessage = s.LastSentMessage;
  c.LastTrack2Message = s.LastTrack2Message;
  c.UseMagText = s.UseMagText;
  c.ERKChecksum = s.ERKChecksum;
  c.TableReference = s.TableReference;
  c.PinPadName = s.PinPadName;
  c.NakCount = s.NakCount;
  c.HostIndex = s.HostIndex;
  c.RetryCount = s.RetryCount;
  c.RecordsLeft = s.RecordsLeft;
  c.WarmResetPending = s.WarmResetPending;
  c.ServiceCodeChecked = s.ServiceCodeChecked;
  c.EMVAppDetection = s.EMVAppDetection;
  c.ChecksumMode = s.ChecksumMode;
  c.DownloadMask = s.DownloadMask;
  c.ESTRecords = s.ESTRecords;
  c.MVTRecords = s.MVTRecords;
  c.txn = s.txn;
  c.dl = s.dl;
  c.ReceiveGuard = 0;
  s.timerMs > 0 ? c.RestartTimer(s.timerMs) : c.StopTimer();
}

}  // namespace korvex::fuzz
