// Receiving: bytes are collected in ReceiveBuffer and cut into units (a lone
// ACK, NAK or ENQ, or a whole frame with its check). Good frames are ACKed and
// dispatched, bad ones NAKed, up to EOT after the third in a row.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "link/reply_shape.h"

namespace korvex {

namespace {

bool CheckCRC(const std::string& unit) {
  // Covers the bytes after the start through the end character.
  const std::string_view covered = std::string_view(unit).substr(1, unit.size() - 3);
  const uint16_t crc = CalculateCRC16(covered);
  return static_cast<uint8_t>(unit[unit.size() - 2]) == (crc >> 8) &&
         static_cast<uint8_t>(unit[unit.size() - 1]) == (crc & 0xFF);
}

}  // namespace

void Korvex::Impl::OnDataArrival(int32_t /*bytesTotal*/) {
  const std::string_view data = ReceiveBuffer.Read(*Winsock1);
  if (data.empty()) return;
  if (ReceiveGuard != 0) {
    // A unit further up the stack yielded; its loop picks these bytes up.
    ReceiveGuard = 3;
    RaiseDebugEvent(2, {"Data Arrived during previous message processing:'", data, "'"});
    return;
  }
  ReceiveGuard = 1;
  RaiseDebugEvent(2, {"Data Arrived:'", data, "'"});
  do {
    ReceiveGuard = 1;
    ProcessReceiveBuffer();
  } while (ReceiveGuard & 2);
  ReceiveGuard = 0;
  // Only a peer that has lost the protocol leaves this much unhandled.
  if (const size_t dropped = ReceiveBuffer.Bound()) {
    RaiseDebugEvent(8, {"Receive buffer overflow: ", std::to_string(dropped), " bytes dropped"});
  }
  ReceiveBuffer.Trim();
}

// Handles units one after the other. Each unit's handling ends by looking at
// the buffer again, which is this loop; a bad frame stops it until more data
// arrives.
void Korvex::Impl::ProcessReceiveBuffer() {
  for (;;) {
    const std::string_view next = ReceiveBuffer.NextUnit(ChecksumMode == 2 ? 2 : 1);
    if (next.empty()) return;
    // The unit leaves the buffer before it is handled: handling may yield and
    // let more bytes in.
    TextPool::Lease unit(texts);
    unit.text.assign(next);
    ReceiveBuffer.Drop(next.size());
    const char first = unit.text[0];

    if (first == ACK || first == NAK || first == ENQ) {
      EatUnit(unit.text);
      continue;
    }

    bool good = ChecksumMode == 2 ? CheckCRC(unit.text) : CheckLRC(unit.text);
    // Two spoilt bytes can cancel in the check byte; fields the pad never
    // sends show it.
    if (const std::string fault = good ? ReplyShapeFault(unit.text, fState) : ""; !fault.empty()) {
      RaiseDebugEvent(8, {"Malformed reply, ", fault, ": Message='", unit.text, "'"});
      good = false;
    }
    if (good) {
      NakCount = 0;
      RaiseDebugEvent(5, "Sending ACK");
      DoEvents();
      SendMessage(std::string(1, ACK), 0, 0);
      EatUnit(unit.text);
      continue;
    }
    ++NakCount;
    RaiseDebugEvent(5, "Sending NAK");
    SendMessage(std::string(1, NAK), 0, 0);
    if (NakCount > 2) {
      RaiseDebugEvent(5, "Sending EOT");
      SendMessage(std::string(1, EOT), 0, 0);
      RaiseInterfaceEvent(1, 19, "");
    }
    return;
  }
}

void Korvex::Impl::EatMessage(const std::string& Message) {
  EatUnit(Message);
  ProcessReceiveBuffer();
}

void Korvex::Impl::EatUnit(const std::string& Message) {
  if (Message.empty()) return;
  RaiseDebugEvent(3, {"EatMessage: Message='", Message, "'"});
  switch (Message[0]) {
    case ACK:
      StopTimer();
      ProcessAck();
      break;
    case NAK:
      RaiseDebugEvent(8, "<NAK> received at State=", fState);
      StopTimer();
      ++NakCount;
      if (NakCount >= 5) {
        RaiseInterfaceEvent(1, 18, {"NAK error at State=", std::to_string(fState)});
      } else if (!LastSentMessage.empty()) {
        TextPool::Lease resend(texts);
        resend.text = LastSentMessage;
        SendMessage(resend.text, 5000, resend.text.size() == 1 ? 0 : ChecksumMode);
      }
      break;
    case ENQ: RaiseDebugEvent(8, "<ENQ> received at State=", fState); break;
    default:
      StopTimer();
      ProcessMessage(Message);
      break;
  }
}

bool Korvex::Impl::CheckLRC(const std::string& Frame) const {
  if (Frame.size() < 2) return false;
  return static_cast<uint8_t>(Frame.back()) ==
         CalculateLRC(std::string_view(Frame).substr(0, Frame.size() - 1));
}

}  // namespace korvex
