// Receiving: bytes are collected in ReceiveBuffer and cut into units (a lone
// ACK, NAK or ENQ, or a whole frame with its check). Good frames are ACKed and
// dispatched, bad ones NAKed, up to EOT after the third in a row.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"

namespace korvex {

namespace {

const std::string kUnitStarts{ACK, ENQ, NAK, STX, SI};

// Far more than any reply of the PIN pad; a frame still open after this many
// bytes lost its end on the line and goes, so that noise cannot fill memory.
constexpr size_t kMaxOpenFrame = 4096;

bool CheckCRC(const std::string& unit) {
  // Covers the bytes after the start through the end character.
  const std::string_view covered = std::string_view(unit).substr(1, unit.size() - 3);
  const uint16_t crc = CalculateCRC16(covered);
  return static_cast<uint8_t>(unit[unit.size() - 2]) == (crc >> 8) &&
         static_cast<uint8_t>(unit[unit.size() - 1]) == (crc & 0xFF);
}

}  // namespace

void Korvex::Impl::OnDataArrival(int32_t /*bytesTotal*/) {
  const std::string data = Winsock1->GetData();
  if (data.empty()) return;
  ReceiveBuffer += data;
  if (ReceiveGuard != 0) {
    // A unit further up the stack yielded; its loop picks these bytes up.
    ReceiveGuard = 3;
    RaiseDebugEvent(2, "Data Arrived during previous message processing:'" + data + "'");
    return;
  }
  ReceiveGuard = 1;
  RaiseDebugEvent(2, "Data Arrived:'" + data + "'");
  do {
    ReceiveGuard = 1;
    ProcessReceiveBuffer();
  } while (ReceiveGuard & 2);
  ReceiveGuard = 0;
}

// Handles units one after the other. Each unit's handling ends by looking at
// the buffer again, which is this loop; a bad frame stops it until more data
// arrives.
void Korvex::Impl::ProcessReceiveBuffer() {
  while (!ReceiveBuffer.empty()) {
    const size_t start = ReceiveBuffer.find_first_of(kUnitStarts);
    if (start == std::string::npos) {
      ReceiveBuffer.clear();  // garbage: no unit can start in it
      return;
    }
    const char first = ReceiveBuffer[start];

    if (first == ACK || first == NAK || first == ENQ) {
      ReceiveBuffer.erase(0, start + 1);
      EatUnit(std::string(1, first));
      continue;
    }

    const size_t end = ReceiveBuffer.find(first == STX ? ETX : SO, start);
    if (end == std::string::npos) {
      if (ReceiveBuffer.size() - start <= kMaxOpenFrame) return;
      // Only the last bytes, which may still begin a frame, stay.
      RaiseDebugEvent(8, "Frame without end dropped");
      ReceiveBuffer.erase(0, ReceiveBuffer.size() - kMaxOpenFrame);
      continue;
    }
    const size_t checkBytes = ChecksumMode == 2 ? 2 : 1;
    const size_t unitEnd = end + 1 + checkBytes;
    if (ReceiveBuffer.size() < unitEnd) return;
    const std::string unit = ReceiveBuffer.substr(start, unitEnd - start);
    ReceiveBuffer.erase(0, unitEnd);

    const bool good = ChecksumMode == 2 ? CheckCRC(unit) : CheckLRC(unit);
    if (good) {
      NakCount = 0;
      RaiseDebugEvent(5, "Sending ACK");
      DoEvents();
      SendMessage(std::string(1, ACK), 0, 0);
      EatUnit(unit);
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
  RaiseDebugEvent(3, "EatMessage: Message='" + Message + "'");
  switch (Message[0]) {
    case ACK:
      StopTimer();
      ProcessAck();
      break;
    case NAK:
      RaiseDebugEvent(8, "<NAK> received at State=" + std::to_string(fState));
      StopTimer();
      ++NakCount;
      if (NakCount >= 5) {
        RaiseInterfaceEvent(1, 18, "NAK error at State=" + std::to_string(fState));
      } else if (!LastSentMessage.empty()) {
        const std::string resend = LastSentMessage;
        SendMessage(resend, 5000, resend.size() == 1 ? 0 : ChecksumMode);
      }
      break;
    case ENQ: RaiseDebugEvent(8, "<ENQ> received at State=" + std::to_string(fState)); break;
    default:
      StopTimer();
      ProcessMessage(Message);
      break;
  }
}

bool Korvex::Impl::CheckLRC(const std::string& Frame) const {
  if (Frame.size() < 2) return false;
  return static_cast<uint8_t>(Frame.back()) == CalculateLRC(Frame.substr(0, Frame.size() - 1));
}

}  // namespace korvex
