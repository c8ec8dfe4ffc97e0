// Every good frame, once acknowledged, is dispatched by its three-character
// message code (positions 2-4, case-sensitive) to the handler of that code.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace korvex {

namespace {

using Handler = void (Korvex::Impl::*)(const std::string&);

struct Route {
  const char* code;
  Handler handler;
};

// Searched in this order; the first match handles the message.
const Route kRoutes[] = {
    {"VFI", &Korvex::Impl::ProcessVFI},
    {"P01", &Korvex::Impl::ProcessP01},
    {"P00", &Korvex::Impl::ProcessP00},
    {"KD0", &Korvex::Impl::ProcessKD0},
    {"D03", &Korvex::Impl::ProcessD03},
    {"D01", &Korvex::Impl::ProcessD01},
    {"D06", &Korvex::Impl::ProcessD06},
    {"D05", &Korvex::Impl::ProcessD05},
    {"D04", &Korvex::Impl::ProcessD04},
    {"I02", &Korvex::Impl::ProcessI02},
    {"I05", &Korvex::Impl::ProcessI05},
    {"81.", &Korvex::Impl::ProcessMsg81},
};

}  // namespace

void Korvex::Impl::ProcessMessage(const std::string& Message) {
  RaiseDebugEvent(4, "ProcessMessage: Message='" + Message + "'");
  const std::string code = MessageCode(Message);
  for (const Route& route : kRoutes) {
    if (code == route.code) {
      (this->*route.handler)(Message);
      return;
    }
  }
  RaiseInterfaceEvent(1, 11, "ProcessMessage: Message='" + Message + "'");
}

// The loader's download request. Its eighth comma-separated field, when
// numeric, is the block size the loader wants.
void Korvex::Impl::ProcessVFI(const std::string& Message) {
  if (fState != STATE_DOWNLOAD_WAIT) return;
  DownloadBlockSize = 248;

  size_t comma = std::string::npos;
  size_t from = 0;
  int found = 0;
  for (; found < 7; ++found) {
    comma = Message.find(',', from);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  if (found == 7) {
    const size_t end = Message.find(ETX, comma + 1);
    int32_t size = 0;
    if (end != std::string::npos && ToLong(Message.substr(comma + 1, end - comma - 1), size)) {
      DownloadBlockSize = size;
    }
  }

  fState = STATE_DOWNLOAD_REQUESTED;
  RestartTimer(1000);  // the next expiry starts the transfer
}

// "81." comes from the card reader when a card is swiped: a fifth character
// "*" means a chip card (continue by chip), anything else carries track data.
// The PIN pad waits for a second ACK; its own ACK then moves the flow on.
void Korvex::Impl::ProcessMsg81(const std::string& Message) {
  DoEvents();
  RaiseDebugEvent(5, "Msg 81 at state=" + std::to_string(fState));
  TimeoutTimer->SetInterval(200);
  // A NAK from the PIN pad is answered with ENQ.
  LastSentMessage = std::string(1, ENQ);
  if (Message.size() >= 5 && Message[4] == '*') {
    fState = STATE_CHIP_CARD_SEEN;
  } else {
    LastTrack2Message = Message;
    fState = STATE_TRACK2_SEEN;
  }
  TimeoutTimer->SetEnabled(true);
  RaiseDebugEvent(5, "Sending ACK");
  Winsock1->SendData(std::string(1, ACK));
}

}  // namespace korvex
