// The TCP connection to the router: connecting, the serial-line command sent
// first, and the socket's Connect, Close and Error events.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "transaction/prompts.h"

namespace korvex {

namespace {

// Router commands: plain text, exactly 20 characters.
const std::string kLine19200 = "SETCOMM19200,n,8,1  ";
const std::string kLine115200 = "SETCOMM115200,n,8,1 ";

}  // namespace

void Korvex::Impl::ConnectRouter(int16_t NextState) {
  fState = NextState;
  RaiseDebugEvent(5, "Connecting... State=", NextState);
  if (Winsock1->State() != sckClosed) {
    Winsock1->Close();
    DoEvents();
  }
  RestartTimer(10000);
  Winsock1->Connect();
}

void Korvex::Impl::OnConnect() {
  StopTimer();
  RaiseDebugEvent(8, "PinPad connected!");

  // The line command must leave before the first framed request.
  auto setLine = [this](const std::string& command) {
    Winsock1->SendData(command);
    DoEvents();
  };

  switch (fState) {
    case STATE_CONNECT_TEST:
      setLine(kLine19200);
      DetectEMVApp(STATE_APP_DETECT);
      break;
    case STATE_CONNECT_INIT:
      setLine(kLine19200);
      SendD03Request();
      break;
    case STATE_CONNECT_AFTER_DOWNLOAD:
      setLine(kLine19200);
      RetryCount = 0;
      StartEMVApp(STATE_EMVAPP_START);
      DoEvents();
      break;
    case STATE_CONNECT_TRANSACTION:
      setLine(kLine19200);
      SendC23();
      break;
    case STATE_CONNECT_SERVICE_CODE:
      setLine(kLine19200);
      SendC22();
      break;
    case STATE_CONNECT_MAGNET:
      setLine(kLine19200);
      SendZ2(STATE_MAGNET_PROMPT_SENT, kSwipeCardPrompt, true);
      break;
    case STATE_CONNECT_DOWNLOAD:
      setLine(kLine115200);
      WaitDownloadRequest();
      break;
    default:  // nobody asked for this connection
      ResetConnection();
      break;
  }
}

void Korvex::Impl::OnClose() {
  Winsock1->Close();
  DoEvents();
  RaiseDebugEvent(10, "Connection closed by TCP/COM Router");
  RaiseInterfaceEvent(1, 38, "Connection closed by TCP/COM Router");
}

void Korvex::Impl::OnError(int32_t Number, const std::string& Description) {
  Winsock1->Close();
  DoEvents();
  RaiseDebugEvent(10, "Winsock error: " + std::to_string(Number) + " - " + Description);
  RaiseInterfaceEvent(3, Number, Description);
}

void Korvex::Impl::WaitDownloadRequest() {
  RetryCount = 0;
  fState = STATE_DOWNLOAD_WAIT;
  RestartTimer(1000);
}

void Korvex::Impl::SendAckAndWait(int32_t Interval) {
  if (Interval < 1) Interval = 100;
  if (Interval > 60000) Interval = 60000;
  TimeoutTimer->SetInterval(Interval);
  TimeoutTimer->SetEnabled(true);
  RaiseDebugEvent(5, "Sending ACK");
  // Straight to the socket: LastSentMessage keeps what a NAK should repeat.
  Winsock1->SendData(std::string(1, ACK));
}

}  // namespace korvex
