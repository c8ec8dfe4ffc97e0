// The reply timer's expiry, by state: a retry, the next step of an
// application switch, or an error to the host. The handler never stops the
// timer itself, so an error repeats at every expiry until something re-arms or
// stops it.
#include <string>
#include <utility>

#include "control/korvex_impl.h"
#include "download/download_messages.h"
#include "link/framing.h"

namespace korvex {

namespace {
constexpr int16_t kRetryLimit = 5;
}

void Korvex::Impl::OnTimer() {
  if (!TimeoutTimer->Enabled()) return;  // a late tick
  RaiseDebugEvent(8, "TIMEOUT!!!!!!!!!!!");
  ReceiveBytes saved = std::exchange(ReceiveBuffer, ReceiveBytes(ReceiveBuffer.limit()));

  auto error = [this](const std::string& text) { RaiseInterfaceEvent(1, 44, text); };

  switch (fState) {
    case 109:
      if (++RetryCount <= kRetryLimit) {
        DetectLoaderApp(STATE_LOADER_DETECT);
      } else {
        error("LoaderApp switch failed.");
      }
      break;
    case 110: error("LoaderApp switch failed."); break;
    case 129: error("Check downloaded EMVApp failed."); break;
    case 131: error("Download mode initialization failed."); break;
    case 137:
      if (++RetryCount <= kRetryLimit) {
        StartEMVApp(STATE_EMVAPP_START);
      } else {
        error("EMVApp switch failed.");
      }
      break;
    case 210:  // keep what has arrived and poll the chip reader again
      ReceiveBuffer = std::move(saved);
      SendI050(STATE_CARD_POLL_SENT);
      break;
    case 211:
    case 212: SendAckAndWait(200); break;
    case 252: break;  // the cardholder may take any time
    case 600: error("PinPad application/connection error."); break;
    case 601:
      RaiseDebugEvent(8, "LoaderApp suggested.");
      DetectLoaderApp(STATE_LOADER_SUGGESTED);
      break;
    case 602:
    case 603: error("Invalid LoaderApp suggestion."); break;
    case 604: error("EMVApp switch failed."); break;
    case 605: StartDownloadMode(); break;
    case 606: error("TCP/COM connection timeout."); break;
    case 607:  // prompt the loader for its download request
      if (++RetryCount <= kRetryLimit) {
        if (Winsock1->State() == sckConnected) Winsock1->SendData(std::string(1, ENQ));
      } else {
        error("Download request not received.");
      }
      break;
    case 608: StartEMVApp(STATE_EMVAPP_SWITCH); break;
    case 609:  // the loader's request is settled: the transfer starts
      SendDownloadDisplay(STATE_DOWNLOAD_ANNOUNCED, kDownloadAnnounced);
      break;
    // clang-format off
    case 610: case 611: case 612: case 613: case 614:
    case 615: case 616: case 617: case 618: case 619:
      error("PinPad not responding.");
      break;
    // clang-format on
    case 620:
    case 621: error("EMVApp not responding after switch."); break;
    case 622: error("Downloaded EMVApp switch failed."); break;
    case 623:
    case 624: error("Check downloaded EMVApp failed."); break;
    case 625: StartDownloadMode(); break;
    default:
      RaiseInterfaceEvent(1, 17, "PinPad timeout");
      DoEvents();
      break;
  }
}

}  // namespace korvex
