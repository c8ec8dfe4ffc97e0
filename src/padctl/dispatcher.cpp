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
    {"VFI", &Korvex::Impl::ProcessVFI},   {"P01", &Korvex::Impl::ProcessP01},
    {"P00", &Korvex::Impl::ProcessP00},   {"KD0", &Korvex::Impl::ProcessKD0},
    {"C26", &Korvex::Impl::ProcessC26},   {"C17", &Korvex::Impl::ProcessC17},
    {"C18", &Korvex::Impl::ProcessC18},   {"C00", &Korvex::Impl::ProcessC00},
    {"C22", &Korvex::Impl::ProcessC22},   {"C23", &Korvex::Impl::ProcessC23},
    {"C20", &Korvex::Impl::ProcessC20},   {"C01", &Korvex::Impl::ProcessC01},
    {"C02", &Korvex::Impl::ProcessC02},   {"C21", &Korvex::Impl::ProcessC21},
    {"C83", &Korvex::Impl::ProcessC83},   {"C25", &Korvex::Impl::ProcessC25},
    {"C84", &Korvex::Impl::ProcessC84},   {"D03", &Korvex::Impl::ProcessD03},
    {"D01", &Korvex::Impl::ProcessD01},   {"D06", &Korvex::Impl::ProcessD06},
    {"D05", &Korvex::Impl::ProcessD05},   {"D04", &Korvex::Impl::ProcessD04},
    {"I02", &Korvex::Impl::ProcessI02},   {"I05", &Korvex::Impl::ProcessI05},
    {"81.", &Korvex::Impl::ProcessMsg81},
};

}  // namespace

void Korvex::Impl::ProcessMessage(const std::string& Message) {
  RaiseDebugEvent(4, {"ProcessMessage: Message='", Message, "'"});
  // Positions 2-4; shorter frames match no route.
  const std::string_view code = std::string_view(Message).substr(Message.empty() ? 0 : 1, 3);
  for (const Route& route : kRoutes) {
    if (code.size() == 3 && code[0] == route.code[0] && code[1] == route.code[1] &&
        code[2] == route.code[2]) {
      (this->*route.handler)(Message);
      return;
    }
  }
  RaiseInterfaceEvent(1, 11, {"ProcessMessage: Message='", Message, "'"});
}

// The loader's download request. Its eighth comma-separated field, when
// numeric, is the block size the loader wants. The block length travels as 16
// bits, so only 1 to 65535 can be honoured; anything else keeps 248.
void Korvex::Impl::ProcessVFI(const std::string& Message) {
  if (fState != STATE_DOWNLOAD_WAIT) return;
  dl.DownloadBlockSize = 248;

  size_t comma = std::string::npos;
  size_t from = 0;
  int found = 0;
  for (; found < 7; ++found) {
    comma = Message.find(',', from);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  const size_t end = found == 7 ? Message.find(ETX, comma + 1) : std::string::npos;
  if (end != std::string::npos) {
    const std::string field = Message.substr(comma + 1, end - comma - 1);
    int32_t size = 0;
    if (ToLong(field, size) && size >= 1 && size <= 65535) {
      dl.DownloadBlockSize = size;
    } else {
      RaiseDebugEvent(8, "Download block size " + field + " out of range, using 248");
    }
  }

  fState = STATE_DOWNLOAD_REQUESTED;
  RestartTimer(1000);  // the next expiry starts the transfer
}

// "81." comes from the card reader when a card is swiped: a fifth character
// "*" means a chip card (continue by chip), anything else carries track data.
void Korvex::Impl::ProcessMsg81(const std::string& Message) {
  const bool chipCard = Message.size() >= 5 && Message[4] == '*';
  switch (fState) {
    case STATE_MAGNET_WAIT:  // a swipe for MagnetReader
      if (chipCard) {
        SendQ4(STATE_MAGNET_SWIPE_ON_SENT, true);  // only the stripe is wanted: swipe again
      } else {
        StopTimer();
        LastTrack2Message = Message;
        ProcessTrack2Msg();
      }
      break;
    default: AcknowledgeCardReader(Message, chipCard); break;
  }
}

// During card entry the PIN pad waits for a second ACK; its own ACK then moves
// the flow on, and until it comes a bare ACK goes out every 200 ms.
void Korvex::Impl::AcknowledgeCardReader(const std::string& Message, bool chipCard) {
  DoEvents();
  RaiseDebugEvent(5, "Msg 81 at state=" + std::to_string(fState));
  TimeoutTimer->SetInterval(200);
  // A NAK from the PIN pad is answered with ENQ.
  LastSentMessage = std::string(1, ENQ);
  if (chipCard) {
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
