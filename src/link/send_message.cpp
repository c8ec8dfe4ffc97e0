// Every request leaves the control through SendMessage: block check appended,
// one write to the router socket, kept for a resend, reply timer restarted.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"

namespace korvex {

void Korvex::Impl::SendMessage(const std::string& Message, int32_t& Timeout, uint8_t FrameType) {
  if (TracesWanted()) {
    RaiseDebugEvent(4, {"SendMessage: Message='", Message, "', Timeout=", std::to_string(Timeout),
                        ", Checksum=", std::to_string(FrameType)});
  }
  if (Winsock1->State() != sckConnected) {
    RaiseInterfaceEvent(1, 1,
                        "No connection at SendMessage(). State=" + std::to_string(fState) +
                            ", Socket.State=" + std::to_string(Winsock1->State()));
    return;
  }

  TextPool::Lease frame(texts);
  frame.text = Message;
  if (FrameType == 1) {
    frame.text += static_cast<char>(CalculateLRC(Message));
  } else if (FrameType == 2) {
    const uint16_t crc = CalculateCRC16(std::string_view(Message).substr(Message.empty() ? 0 : 1));
    frame.text += static_cast<char>(crc >> 8);
    frame.text += static_cast<char>(crc & 0xFF);
  }
  Winsock1->SendData(frame.text);
  LastSentMessage = Message;

  if (Timeout > 60000) Timeout = 60000;
  TimeoutTimer->SetEnabled(false);
  TimeoutTimer->SetInterval(Timeout);
  if (Timeout >= 1) TimeoutTimer->SetEnabled(true);
}

void Korvex::Impl::SendRequest(int16_t State, const std::string& Text, int32_t Timeout) {
  fState = State;
  SendMessage(Framed(Text), Timeout, 1);
}

void Korvex::Impl::RestartTimer(int32_t IntervalMs) {
  TimeoutTimer->SetEnabled(false);
  TimeoutTimer->SetInterval(IntervalMs);
  TimeoutTimer->SetEnabled(true);
}

void Korvex::Impl::StopTimer() {
  TimeoutTimer->SetEnabled(false);
}

}  // namespace korvex
